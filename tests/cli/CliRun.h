#pragma once

#include "raster/TBitmap.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

// Running velmora-cli as a separate process, and the files it works on.
namespace clirun {

struct Result {
    bool finished = false; // false: it did not end within the time allowed
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs velmora-cli with `arguments`, without any display in its environment,
// and waits at most two minutes. Its standard output goes to `outputFile` when
// one is given.
// `inChild` runs in the child before the program starts (to set a limit, say).
Result Run(const QStringList& arguments, const QString& outputFile = {}, const std::function<void()>& inChild = {});

// Saves `bitmap` with TBitmap::SaveToFile as `name` in a fresh folder and
// returns the path.
QString Save(const TBitmap& bitmap, const QString& name = QStringLiteral("entree.bmp"));

// The bytes of a file; empty when it does not exist.
QByteArray Bytes(const QString& path);

// The bytes TBitmap::SaveToFile writes for `bitmap`.
QByteArray Encoded(const TBitmap& bitmap);

// The file's image as TBitmap::LoadFromFile reads it.
std::unique_ptr<TBitmap> Load(const QString& path);

} // namespace clirun
