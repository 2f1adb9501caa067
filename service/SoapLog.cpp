#include "service/SoapLog.h"

Q_LOGGING_CATEGORY(lcService, "tarquell.service")
