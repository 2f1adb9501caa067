#pragma once

#include "translate/TranslateCommand.h"

#include <memory>

class THTTPRIO;
class IBabelFish;
class IBabelFish2;
class IBabelFish3;

// One leg on the text server chosen in the Server menu: Server 1 is
// IBabelFish on HTTPRIO2, Server 2 IBabelFish3 on HTTPRIO3, Server 3
// IBabelFish2's getTranslation on HTTPRIO1. The interface is obtained when
// the run starts and released when it ends.
class ServerLegRunner : public ILegRunner
{
public:
    ServerLegRunner(int textServer, THTTPRIO& rio1, THTTPRIO& rio2, THTTPRIO& rio3);
    ~ServerLegRunner() override;

    QString translateLeg(const QString& mode, const QString& text) override;
    void abort() override;

private:
    THTTPRIO* m_rio = nullptr;
    std::unique_ptr<IBabelFish> m_fish;
    std::unique_ptr<IBabelFish3> m_fish3;
    std::unique_ptr<IBabelFish2> m_fish2;
};
