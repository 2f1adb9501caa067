#pragma once

#include <QLoggingCategory>

// SOAP traffic at debug level: QT_LOGGING_RULES="tarquell.service.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcService)
