#pragma once

#include <QLoggingCategory>

// The window's own messages; off below warnings unless QT_LOGGING_RULES
// switches them on ("tarquell.app.info=true").
Q_DECLARE_LOGGING_CATEGORY(lcApp)
