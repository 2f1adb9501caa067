#pragma once

#include "platform/Dialogs.h"

#include <QString>
#include <functional>

// The text of the application error box: a full stop is appended when the
// last character sorts after ".".
QString errorBoxText(const QString& message);

// Runs one command; a failure is shown in the application error box
// (caption = application title, error icon, OK) and the program goes on.
// Nothing escapes into the event loop. Returns true when the command ran
// to its end.
bool runGuarded(IDialogs& dialogs, const std::function<void()>& command);
