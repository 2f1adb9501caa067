#pragma once

#include <QLoggingCategory>

// The service's messages on standard error. Information and above by
// default; QT_LOGGING_RULES="tarquell.server.debug=true" adds every request.
Q_DECLARE_LOGGING_CATEGORY(lcServer)
