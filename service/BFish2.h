#pragma once

#include "service/InvokeRegistry.h"
#include "service/VoiGen.h"

#include <memory>

class THTTPRIO;

// The VelociGen "translate" service.
class IBabelFish2
{
public:
    virtual ~IBabelFish2() = default;
    // body goes out with text and language filled; when the reply carries a
    // body, the record decoded from it takes the place of the one passed in.
    // Otherwise body is left as it was.
    virtual void getTranslation(std::unique_ptr<::getTranslation>& body) = 0;
};

std::unique_ptr<IBabelFish2> GetIBabelFish2(THTTPRIO& rio);

// Registration: namespace urn:BFish2-IBabelFish2, operation getTranslation.
const InterfaceInfo& IBabelFish2Info();
