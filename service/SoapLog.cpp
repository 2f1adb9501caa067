#include "service/SoapLog.h"

// Off unless switched on: the traffic holds the user's texts.
Q_LOGGING_CATEGORY(lcService, "tarquell.service", QtInfoMsg)
