#pragma once

#include "service/InvokeRegistry.h"

#include <QString>
#include <memory>

class THTTPRIO;

// The BabelFish translation service, 2001 edition of its description.
class IBabelFish3
{
public:
    virtual ~IBabelFish3() = default;
    virtual QString BabelFish(const QString& translationmode, const QString& sourcedata) = 0;
};

std::unique_ptr<IBabelFish3> GetIBabelFish3(THTTPRIO& rio);

// Registration: namespace urn:BFish3-IBabelFish3, operation BabelFish.
const InterfaceInfo& IBabelFish3Info();
