#include "translate/ServerLegRunner.h"

#include "service/BFish.h"
#include "service/BFish2.h"
#include "service/BFish3.h"
#include "service/THTTPRIO.h"
#include "service/VoiGen.h"

ServerLegRunner::ServerLegRunner(const TextServerInfo& server, THTTPRIO& component)
    : m_rio(component)
{
    switch (server.interface) {
    case ServerInterface::BabelFish:
        m_fish = GetIBabelFish(component);
        break;
    case ServerInterface::BabelFish3:
        m_fish3 = GetIBabelFish3(component);
        break;
    case ServerInterface::BabelFish2:
        m_fish2 = GetIBabelFish2(component);
        break;
    }
}

ServerLegRunner::~ServerLegRunner() = default;

QString ServerLegRunner::translateLeg(const QString& mode, const QString& text)
{
    if (m_fish)
        return m_fish->BabelFish(mode, text);
    if (m_fish3)
        return m_fish3->BabelFish(mode, text);
    // The record goes out with the text and the mode; what the reply put in
    // its place holds the translation.
    auto body = std::make_unique<getTranslation>();
    body->text = text;
    body->language = mode;
    m_fish2->getTranslation(body);
    return body ? body->text : QString();
}

void ServerLegRunner::abort()
{
    m_rio.HTTPWebNode().abort();
}
