#pragma once

#include <QString>
#include <stdexcept>

// Every failure a user can meet is one of these. what() is the exact
// message the user sees (UTF-8); message() gives it back as a QString.
class TarquellError : public std::runtime_error
{
public:
    explicit TarquellError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }
    const QString& message() const noexcept { return m_message; }

private:
    QString m_message;
};

// Ends a command without any message: the user already chose to stop it
// (a cancelled credentials prompt, a cancelled translation).
class SilentAbort : public std::exception
{
public:
    const char* what() const noexcept override { return "silent abort"; }
};
