#pragma once

#include "Operations.h"

#include <QString>
#include <QStringList>
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

struct Command {
    bool help = false; // --aide or --help: print the usage, nothing else
    int quality = 92; // --qualite: JPEG and WebP output
    QString input;
    QString output;
    std::vector<Step> steps; // in the order given
};

// Reads every argument (the program's name excluded) before anything is done
// with the files. Throws UsageError at the first argument that does not fit.
Command ParseArguments(const QStringList& arguments);

// The usage, in French, operations included.
QString UsageText();

} // namespace cli
