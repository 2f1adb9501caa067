#pragma once

#include "service/InvokeRegistry.h"
#include "service/THTTPRIO.h"

#include <QPointer>

// What the two BabelFish editions share: the operation's shape and the call.
InterfaceInfo babelFishInterface(const QString& unit, const QString& interfaceName);
QString callBabelFish(const QPointer<THTTPRIO>& rio, const InterfaceInfo& info,
                      const QString& translationmode, const QString& sourcedata);

// A call through an interface whose component no longer exists.
[[noreturn]] void throwComponentGone();
