#include "tools/Vantudict/Languages.h"

const std::array<DictLanguage, 10>& dictLanguages()
{
    static const std::array<DictLanguage, 10> table{{
        {"en", "English", "eng", "en_US", "eng", "en"},
        {"fr", "French", "fra", "fr", "fra", "fr"},
        {"de", "German", "deu", "de_DE", "deu", "de"},
        {"es", "Spanish", "spa", "es_ES", "spa", "es"},
        {"it", "Italian", "ita", "it_IT", "ita", "it"},
        {"pt", "Portuguese", "por", "pt_PT", "por", "pt"},
        {"ru", "Russian", "rus", "ru_RU", "rus", "ru"},
        {"zh", "Chinese", "zho", "", "", ""},
        {"ko", "Korean", "kor", "", "", ""},
        {"ja", "Japanese", "jpn", "", "jpn", "ja"},
    }};
    return table;
}

const DictLanguage* dictLanguage(const QString& code)
{
    for (const DictLanguage& l : dictLanguages())
        if (code == QLatin1String(l.code))
            return &l;
    return nullptr;
}

const DictLanguage* dictLanguageByFreeDict(const QString& code3)
{
    for (const DictLanguage& l : dictLanguages())
        if (code3 == QLatin1String(l.freedict))
            return &l;
    return nullptr;
}
