#include "service/BFish2.h"

#include "service/BabelFishCall.h"

const InterfaceInfo& IBabelFish2Info()
{
    static const InterfaceInfo info = [] {
        OperationInfo op;
        op.name = QStringLiteral("getTranslation");
        op.params = {{QStringLiteral("body"), &getTranslationType()}};
        op.hasResult = false;
        return InterfaceInfo::make(QStringLiteral("BFish2"), QStringLiteral("IBabelFish2"), op);
    }();
    return info;
}

namespace {
class BabelFish2Proxy : public IBabelFish2
{
public:
    explicit BabelFish2Proxy(THTTPRIO& rio) : m_rio(&rio) {}
    void getTranslation(std::unique_ptr<::getTranslation>& body) override
    {
        if (!m_rio)
            throwComponentGone();
        // A missing record goes out empty rather than crashing the call.
        SoapObject out;
        out.type = &getTranslationType();
        out.values = {{QStringLiteral("text"), body ? body->text : QString()},
                      {QStringLiteral("language"), body ? body->language : QString()}};
        const auto result = m_rio->invoke(IBabelFish2Info(), {{QStringLiteral("body"), out}});
        const auto it = result.outParams.constFind(QStringLiteral("body"));
        if (it == result.outParams.constEnd())
            return;
        auto answer = std::make_unique<::getTranslation>();
        answer->text = it->value(QStringLiteral("text"));
        answer->language = it->value(QStringLiteral("language"));
        body = std::move(answer);
    }

private:
    QPointer<THTTPRIO> m_rio;
};
} // namespace

std::unique_ptr<IBabelFish2> GetIBabelFish2(THTTPRIO& rio)
{
    return std::make_unique<BabelFish2Proxy>(rio);
}
