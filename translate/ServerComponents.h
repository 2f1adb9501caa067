#pragma once

#include "translate/TextServers.h"

class THTTPRIO;
struct MainSettings;

// The service component of a text server as the start sequence sets it up:
// its name, service and port from the table, then the WSDL location of the
// [Services] section, the proxy and the time-out of the settings. The window
// and the command-line translator both build theirs this way.
void setUpComponent(THTTPRIO& rio, const TextServerInfo& server);
void giveSettings(THTTPRIO& rio, const QString& wsdlLocation, const MainSettings& settings);

// The transfer time-out, in milliseconds, that a stored TimeOut gives: 0
// (or less) is no limit; below a second it is one second, since no
// exchange completes sooner than that on a real network.
int transferTimeout(int TimeOut);
