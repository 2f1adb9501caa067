#pragma once

#include "platform/Dialogs.h"

// The real launcher seam: programs start detached with their path and an
// argument list (never through a shell); addresses open in the desktop's
// own handler.
class QtLauncher : public ILauncher
{
public:
    bool startProgram(const QString& program, const QStringList& arguments) override;
    bool openAddress(const QString& address) override;
    // Documents: the conversion program, watched until it ends.
    bool startWatched(const QString& program, const QStringList& arguments,
                      std::function<void()> ended) override;
};
