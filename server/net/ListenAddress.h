#pragma once

#include <QString>
#include <optional>

// "127.0.0.1:8731", "[::1]:8731" or "localhost:0" as given to --listen and
// --probe.
struct ListenAddress
{
    QString host; // without brackets
    int port = 0;

    // Parses ADDR:PORT; nothing when the text is not of that form.
    static std::optional<ListenAddress> parse(const QString& text);
    // Back to ADDR:PORT, with brackets around an IPv6 address.
    QString text() const;
    // Host as it goes into a URL.
    QString urlHost() const;
    bool isLoopback() const;
    // 0.0.0.0 or ::, every address of the machine.
    bool isWildcard() const;
};
