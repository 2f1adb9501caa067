#include "translate/Languages.h"

#include <QStringList>

const std::array<Language, 10>& languageTable()
{
    static const std::array<Language, 10> table{{
        {0, QStringLiteral("English"), QStringLiteral("en"), QStringLiteral("gb"), false},
        {1, QStringLiteral("French"), QStringLiteral("fr"), QStringLiteral("fr"), false},
        {2, QStringLiteral("German"), QStringLiteral("de"), QStringLiteral("de"), false},
        {3, QStringLiteral("Spanish"), QStringLiteral("es"), QStringLiteral("es"), false},
        {4, QStringLiteral("Italian"), QStringLiteral("it"), QStringLiteral("it"), false},
        {5, QStringLiteral("Portuguese"), QStringLiteral("pt"), QStringLiteral("pt"), false},
        {6, QStringLiteral("Russian"), QStringLiteral("ru"), QStringLiteral("ru"), true},
        {7, QStringLiteral("Chinese"), QStringLiteral("zh"), QStringLiteral("cn"), true},
        {8, QStringLiteral("Korean"), QStringLiteral("ko"), QStringLiteral("kr"), true},
        {9, QStringLiteral("Japanese"), QStringLiteral("ja"), QStringLiteral("jp"), true},
    }};
    return table;
}

int LanguageNameToIndex(const QString& name)
{
    for (const Language& l : languageTable())
        if (l.name == name)
            return l.index;
    return -1;
}

QString LanguageNameToCode(const QString& name)
{
    for (const Language& l : languageTable())
        if (l.name == name)
            return l.code;
    return name;
}

QString LanguageCodeToName(const QString& code)
{
    for (const Language& l : languageTable())
        if (l.code == code)
            return l.name;
    return code;
}

bool IsDirectMode(const QString& mode)
{
    static const QStringList direct{
        QStringLiteral("en_fr"), QStringLiteral("fr_en"), QStringLiteral("de_fr"),
        QStringLiteral("en_de"), QStringLiteral("de_en"), QStringLiteral("fr_de"),
        QStringLiteral("en_es"), QStringLiteral("es_en"), QStringLiteral("en_it"),
        QStringLiteral("it_en"), QStringLiteral("en_pt"), QStringLiteral("pt_en"),
        QStringLiteral("en_ru"), QStringLiteral("ru_en"), QStringLiteral("en_zh"),
        QStringLiteral("zh_en"), QStringLiteral("en_ja"), QStringLiteral("ja_en"),
        QStringLiteral("en_ko"), QStringLiteral("ko_en")};
    return direct.contains(mode);
}

bool NeedsViewerHint(const QString& code)
{
    for (const Language& l : languageTable())
        if (l.code == code)
            return l.viewerHint;
    return false;
}
