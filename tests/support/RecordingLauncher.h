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

    bool succeeds = true;
    QList<Started> started;
    QStringList opened;
};
