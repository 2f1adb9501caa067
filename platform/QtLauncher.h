#pragma once

#include "platform/Dialogs.h"

// The real launcher seam: programs start detached with their path and an
// argument list (never through a shell), in the working folder asked for;
// addresses open in the desktop's own handler.
class QtLauncher : public ILauncher
{
public:
    bool startProgram(const QString& program, const QStringList& arguments,
                      const QString& workingDirectory = QString()) override;
    // A local file opens only where the desktop has an application for its
    // type (hasApplicationFor); web and mail addresses always go to it.
    bool openAddress(const QString& address) override;
    // Documents: the conversion program, watched until it ends.
    bool startWatched(const QString& program, const QStringList& arguments,
                      std::function<void()> ended) override;

    // Whether the desktop can open this local file: its type has a default
    // application (asked of xdg-mime, as xdg-open does), or it is a web
    // page, which xdg-open also hands to the web browser. True when the
    // desktop cannot be asked.
    static bool hasApplicationFor(const QString& path);
};
