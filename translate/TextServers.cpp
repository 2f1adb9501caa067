#include "translate/TextServers.h"

const std::array<TextServerInfo, 3>& textServers()
{
    static const std::array<TextServerInfo, 3> table{{
        {1, "XMethodMenu", "Server 1", "HTTPRIO2", "BabelFish", "BabelFishPort",
         ServerInterface::BabelFish},
        {2, "Xmethod2001", "Server 2", "HTTPRIO3", "BabelFishService", "BabelFishPort",
         ServerInterface::BabelFish3},
        {3, "VelociGenMenu", "Server 3", "HTTPRIO1", "translate", "Port",
         ServerInterface::BabelFish2},
    }};
    return table;
}

const TextServerInfo& textServer(int number)
{
    const auto& table = textServers();
    return number >= 1 && number <= 3 ? table[number - 1] : table[0];
}
