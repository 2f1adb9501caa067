#include "service/BFish3.h"

#include "service/BabelFishCall.h"

const InterfaceInfo& IBabelFish3Info()
{
    static const InterfaceInfo info =
        babelFishInterface(QStringLiteral("BFish3"), QStringLiteral("IBabelFish3"));
    return info;
}

namespace {
class BabelFish3Proxy : public IBabelFish3
{
public:
    explicit BabelFish3Proxy(THTTPRIO& rio) : m_rio(&rio) {}
    QString BabelFish(const QString& translationmode, const QString& sourcedata) override
    {
        return callBabelFish(m_rio, IBabelFish3Info(), translationmode, sourcedata);
    }

private:
    QPointer<THTTPRIO> m_rio;
};
} // namespace

std::unique_ptr<IBabelFish3> GetIBabelFish3(THTTPRIO& rio)
{
    return std::make_unique<BabelFish3Proxy>(rio);
}
