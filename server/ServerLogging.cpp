#include "server/ServerLogging.h"

Q_LOGGING_CATEGORY(lcServer, "tarquell.server", QtInfoMsg)
