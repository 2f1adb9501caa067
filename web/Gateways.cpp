#include "web/Gateways.h"

namespace {
// The gateway hosts are ours to choose; paths and fixed queries are what
// each gateway expects. "&&" is sent as two ampersands.
const char* const Bases[7] = {
    "http://gateway1.tarquell.invalid/systran/cgi?partner=demo-SystranSoft&&f=32&&",
    "http://gateway2.tarquell.invalid/tr?",
    "http://gateway3.tarquell.invalid/url_b.html?lp=",
    "http://gateway4.tarquell.invalid/?sequence=core&&language=",
    "http://gateway5.tarquell.invalid/translate_c?",
    "http://gateway6.tarquell.invalid/?partner=Lycos2-en&&submit=Translate&&",
    "http://gateway7.tarquell.invalid:2000/Translate/index.shtml?type=url&&",
};
} // namespace

GatewayState initialGatewayState()
{
    GatewayState s;
    for (int i = 0; i < 7; ++i)
        s.GatewayBase[i] = QString::fromLatin1(Bases[i]);
    s.Server2Tail = QStringLiteral("&&doit=done&&tt=url&&urltext=");
    s.TranslateEnabled = 1;
    s.ServerIndex = 5;
    return s;
}

int gatewayForDestination(const QString& code)
{
    if (code == QLatin1String("ru"))
        return 7;
    if (code == QLatin1String("ja"))
        return 2;
    return 0;
}
