#pragma once

#include "translate/TextServers.h"
#include "translate/TranslateCommand.h"

#include <memory>

class THTTPRIO;
class IBabelFish;
class IBabelFish2;
class IBabelFish3;

// One leg on a text server: its interface on its component (IBabelFish2's
// getTranslation for Server 3). The interface is obtained when the run
// starts and released when it ends.
class ServerLegRunner : public ILegRunner
{
public:
    ServerLegRunner(const TextServerInfo& server, THTTPRIO& component);
    ~ServerLegRunner() override;

    QString translateLeg(const QString& mode, const QString& text) override;
    void abort() override;

private:
    THTTPRIO& m_rio;
    std::unique_ptr<IBabelFish> m_fish;
    std::unique_ptr<IBabelFish3> m_fish3;
    std::unique_ptr<IBabelFish2> m_fish2;
};
