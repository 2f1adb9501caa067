#pragma once

#include "service/InvokeRegistry.h"

#include <QString>

// Records of the VelociGen "translate" service, XML types in the namespace
// "urn:vgx-translate".
class getTranslation
{
public:
    QString text;     // the text to translate; in the answer, the translation
    QString language; // the translation mode, such as "en_fr"
};

class getTranslationResponse
{
public:
    QString text;
};

const RemotableTypeInfo& getTranslationType();
const RemotableTypeInfo& getTranslationResponseType();
