#pragma once

#include <QString>
#include <stdexcept>

// The base of every error the program raises itself. The message is French and
// meant for the user; what() gives it in UTF-8.
class Exception : public std::runtime_error {
public:
    explicit Exception(const QString& message) : std::runtime_error(message.toStdString()), message_(message) { }
    const QString& Message() const { return message_; }

private:
    QString message_;
};

// A file that cannot be read or written, or a bitmap size that cannot be held.
class ERasterError : public Exception {
public:
    using Exception::Exception;
};
