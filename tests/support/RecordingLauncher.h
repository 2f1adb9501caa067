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
        QString workingDirectory;
    };
    bool startProgram(const QString& program, const QStringList& arguments,
                      const QString& workingDirectory = QString()) override
    {
        started.append({program, arguments, workingDirectory});
        return succeeds;
    }
    bool openAddress(const QString& address) override
    {
        opened.append(address);
        return succeeds && !cannotOpen.contains(address);
    }

    // Documents: the watched start is recorded like any other; the test
    // ends the program by calling its entry in `watchers`.
    bool startWatched(const QString& program, const QStringList& arguments,
                      std::function<void()> ended) override
    {
        started.append({program, arguments, QString()});
        if (succeeds)
            watchers.append(std::move(ended));
        return succeeds;
    }

    bool succeeds = true;
    // Addresses the desktop has no application for: recorded, not opened.
    QStringList cannotOpen;
    QList<Started> started;
    QStringList opened;
    QList<std::function<void()>> watchers; // documents
};
