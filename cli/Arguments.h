#pragma once

#include "Operations.h"
#include "raster/TBitmap.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <stdexcept>
#include <vector>

namespace cli {

// A mistake on the command line. The message is French, one line, and names
// the argument at fault.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const QString& message) : std::runtime_error(message.toStdString()), message_(message) { }
    const QString& Message() const { return message_; }

private:
    QString message_;
};

// The most files a batch works on at once (--taches).
constexpr int kMaxJobs = 64;

// The batch form: many inputs, one output folder.
struct Batch {
    QString folder; // --dossier; empty in the single-file form
    int jobs = 0; // --taches; 0: one per processor core
    qint64 memory = 0; // --memoire, in bytes; 0: half the memory available at start
    std::optional<ImageFormat> format; // --format; none: each input's own
    QString extension; // --format's value in lower case ("jpg"), for the names
    bool replace = false; // --remplacer: an input may be replaced
    QStringList inputs;
};

struct Command {
    bool help = false; // --aide, --help or -h: print the usage, nothing else
    bool version = false; // --version: print the version, nothing else
    int quality = 92; // --qualite: JPEG and WebP output
    QString input;
    QString output;
    Batch batch; // used when batch.folder is not empty
    std::vector<Step> steps; // in the order given

    bool IsBatch() const { return !batch.folder.isEmpty(); }
};

// Reads every argument (the program's name excluded) before anything is done
// with the files. Throws UsageError at the first argument that does not fit.
Command ParseArguments(const QStringList& arguments);

// The operations and their values, `words` from the first operation's name on.
std::vector<Step> ParseSteps(const QStringList& words);

// The quality given to --qualite, 1 to 100.
int ParseQuality(const QString& value);

// Digits, with a minus sign or without: what an option's value must be before
// its range is looked at.
bool IsWholeNumber(const QString& text);

// The refusal of an option's value that is not a number, `expected` saying what
// it must be: "« deux » n'est pas un nombre pour « --taches » : un entier de 1
// à 64 attendu."
UsageError NotANumber(const QString& value, const QString& option, const QString& expected);

// The most MiB --memoire accepts: 64 times the machine's memory.
qint64 MaxMemoryMebibytes();

// The batch form: the arguments hold one of its options (--dossier, --taches,
// --memoire, --format, --remplacer). Checks the words only; the folder and the files are
// checked by the batch itself.
Command ParseBatchArguments(const QStringList& arguments);

// The usage, in French, operations included.
QString UsageText();

} // namespace cli
