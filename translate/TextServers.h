#pragma once

#include <QString>
#include <array>

// The three text servers of the Server menu. Each is one service component
// and one remote interface; the menu, the start sequence and the leg runner
// all read this table.
enum class ServerInterface { BabelFish, BabelFish3, BabelFish2 };

struct TextServerInfo
{
    int number;            // 1..3, the TextServer field's value
    const char* menuItem;  // objectName of its Server-menu item
    const char* caption;   // the menu item's caption
    const char* component; // objectName of its THTTPRIO
    const char* service;   // service and port the component looks for in the WSDL
    const char* port;
    ServerInterface interface;
};

const std::array<TextServerInfo, 3>& textServers();

// The row of a TextServer value; any value outside 1..3 is Server 1.
const TextServerInfo& textServer(int number);
