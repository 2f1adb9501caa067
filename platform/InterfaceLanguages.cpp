#include "platform/InterfaceLanguages.h"

const std::array<InterfaceLanguage, 9>& interfaceLanguages()
{
    static const std::array<InterfaceLanguage, 9> table{{
        {"English", "English1", "English", true, ""},
        {"French", "French1", "French", true, "0C"},
        {"Spanish", "Spanish1", "Spanish", true, "0A"},
        {"German", "German1", "German", true, "07"},
        {"Italian", "Italian1", "Italian", true, "10"},
        {"Portuguese", "Portuguese1", "Portuguese", true, "16"},
        {"", "Korean1", "Korean", false, ""},
        {"Japanese", "Japanese1", "Japanese", true, "11"},
        {"Chinois", "Chinese1", "简体中文", false, ""},
    }};
    return table;
}

const InterfaceLanguage* interfaceLanguageByName(const QString& stored)
{
    if (stored.isEmpty())
        return nullptr;
    for (const InterfaceLanguage& l : interfaceLanguages())
        if (stored == QString::fromUtf8(l.stored))
            return &l;
    return nullptr;
}
