#pragma once

#include <QString>

// Browser mode's web translation gateways: which one is selected, whether
// web translation is on, and their base addresses. Put in place when the
// window is created, never stored.
struct GatewayState
{
    int ServerIndex = 5;
    int TranslateEnabled = 1;
    QString GatewayBase[7]; // GatewayBase1 .. GatewayBase7
    QString Server2Tail;
};

GatewayState initialGatewayState();

// The gateway a destination language selects (7 for Russian, 2 for
// Japanese), or 0 when it leaves the selection alone.
int gatewayForDestination(const QString& code);
