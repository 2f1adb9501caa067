#include "translate/ServerComponents.h"
#include "service/THTTPRIO.h"
#include "translate/MainSettings.h"

#include <gtest/gtest.h>

// The stored TimeOut as the transports get it: no exchange is limited to
// less than a second, and 0 stays "no limit".
TEST(ServerComponents, TimeOutBelowASecondIsOneSecond)
{
    const struct
    {
        int stored;
        int applied;
    } rows[] = {{0, 0},      {-5, 0},      {1, 1000},    {5, 1000},
                {999, 1000}, {1000, 1000}, {1001, 1001}, {50000, 50000}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.stored);
        MainSettings settings;
        settings.TimeOut = r.stored;
        THTTPRIO rio;
        giveSettings(rio, QStringLiteral("http://127.0.0.1:8731/sd/BabelFishService.wsdl"),
                     settings);
        EXPECT_EQ(rio.HTTPWebNode().timeout(), r.applied);
        // What is stored is kept as it is.
        EXPECT_EQ(settings.TimeOut, r.stored);
    }
}
