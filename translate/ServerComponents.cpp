#include "translate/ServerComponents.h"

#include "service/THTTPRIO.h"
#include "translate/MainSettings.h"

#include <algorithm>

void setUpComponent(THTTPRIO& rio, const TextServerInfo& server)
{
    rio.setObjectName(QString::fromLatin1(server.component));
    rio.setService(QString::fromLatin1(server.service));
    rio.setPort(QString::fromLatin1(server.port));
}

void giveSettings(THTTPRIO& rio, const QString& wsdlLocation, const MainSettings& settings)
{
    rio.setWSDLLocation(wsdlLocation);
    const QString proxy = settings.proxyText();
    if (!proxy.isEmpty())
        rio.HTTPWebNode().setProxy(proxy);
    rio.HTTPWebNode().setTimeout(transferTimeout(settings.TimeOut));
}

int transferTimeout(int TimeOut)
{
    if (TimeOut <= 0)
        return 0;
    return std::max(TimeOut, 1000);
}
