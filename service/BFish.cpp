#include "service/BFish.h"

#include "service/BabelFishCall.h"

const InterfaceInfo& IBabelFishInfo()
{
    static const InterfaceInfo info =
        babelFishInterface(QStringLiteral("BFish"), QStringLiteral("IBabelFish"));
    return info;
}

namespace {
class BabelFishProxy : public IBabelFish
{
public:
    explicit BabelFishProxy(THTTPRIO& rio) : m_rio(&rio) {}
    QString BabelFish(const QString& translationmode, const QString& sourcedata) override
    {
        return callBabelFish(m_rio, IBabelFishInfo(), translationmode, sourcedata);
    }

private:
    QPointer<THTTPRIO> m_rio;
};
} // namespace

std::unique_ptr<IBabelFish> GetIBabelFish(THTTPRIO& rio)
{
    return std::make_unique<BabelFishProxy>(rio);
}
