#pragma once

#include "service/InvokeRegistry.h"

#include <QString>
#include <memory>

class THTTPRIO;

// The BabelFish translation service, first edition of its description.
class IBabelFish
{
public:
    virtual ~IBabelFish() = default;
    // translationmode such as "en_fr"; returns the translation.
    virtual QString BabelFish(const QString& translationmode, const QString& sourcedata) = 0;
};

// The interface as carried by a component; valid while the component lives
// (a call after it is gone fails with a TarquellError).
std::unique_ptr<IBabelFish> GetIBabelFish(THTTPRIO& rio);

// Registration: namespace urn:BFish-IBabelFish, operation BabelFish.
const InterfaceInfo& IBabelFishInfo();
