#pragma once

#include <QString>
#include <stdexcept>

// A dictionary that cannot be read, or a server that does not answer as it
// should. what() is the message the user sees (UTF-8).
class DictError : public std::runtime_error
{
public:
    explicit DictError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }
    const QString& message() const noexcept { return m_message; }

private:
    QString m_message;
};
