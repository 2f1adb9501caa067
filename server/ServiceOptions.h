#pragma once

#include "ListenAddress.h"
#include "ServiceLimits.h"

#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

// The command line of tarquell-service.
struct ServiceOptions
{
    enum class Engine { Apertium, Echo };

    ListenAddress listen{QStringLiteral("127.0.0.1"), 8731};
    Engine engine = Engine::Apertium;
    std::optional<ListenAddress> probe;
    QString modesDir = QStringLiteral("/usr/share/apertium/modes");
    std::chrono::milliseconds pipelineTimeout{30000};
    ServiceLimits limits;
    bool help = false;

    // Reads the arguments (without the program name). Throws TarquellError
    // with the message for the user.
    static ServiceOptions parse(const QStringList& arguments);
    static QString usage();
};
