#pragma once

#include "platform/Dialogs.h"

#include <QList>
#include <QStringList>

// The launcher seam for tests: records every program start and address
// opened; answers with `succeeds`.
class RecordingLauncher : public ILauncher
{
public:
    struct Started
    {
        QString program;
        QStringList arguments;
    };
    bool startProgram(const QString& program, const QStringList& arguments) override
    {
        started.append({program, arguments});
        return succeeds;
    }
    bool openAddress(const QString& address) override
    {
        opened.append(address);
        return succeeds;
    }

    // Documents: the watched start is recorded like any other; the test
    // ends the program by calling its entry in `watchers`.
    bool startWatched(const QString& program, const QStringList& arguments,
                      std::function<void()> ended) override
    {
        started.append({program, arguments});
        if (succeeds)
            watchers.append(std::move(ended));
        return succeeds;
    }

    bool succeeds = true;
    QList<Started> started;
    QStringList opened;
    QList<std::function<void()>> watchers; // documents
};
