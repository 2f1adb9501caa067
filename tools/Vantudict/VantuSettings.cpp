#include "tools/Vantudict/VantuSettings.h"

#include "tools/Vantudict/Languages.h"

#include "platform/ConfigPaths.h"
#include "platform/Errors.h"
#include "platform/ProfileFile.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString Section = QStringLiteral("Dictionary");

// One row per interface language of the translator, in its menu order.
const VantuCaptions captionTable[] = {
    {"English", "&Word:", "&From:", "&To:", "&Back", "&Copy"},
    {"French", "&Mot :", "&De :", "&Vers :", "&Retour", "&Copier"},
    {"Spanish", "&Palabra:", "&De:", "&A:", "&Atrás", "&Copiar"},
    {"German", "&Wort:", "&Von:", "&Nach:", "&Zurück", "&Kopieren"},
    {"Italian", "&Parola:", "&Da:", "&A:", "&Indietro", "&Copia"},
    {"Portuguese", "&Palavra:", "&De:", "&Para:", "&Voltar", "&Copiar"},
    {"Japanese", "単語(&W):", "翻訳元(&F):", "翻訳先(&T):", "戻る(&B)", "コピー(&C)"},
    {"Chinois", "单词(&W):", "源语言(&F):", "目标语言(&T):", "后退(&B)", "复制(&C)"},
};

} // namespace

const VantuCaptions& captionsFor(const QString& storedLanguage)
{
    for (const VantuCaptions& c : captionTable)
        if (storedLanguage == QLatin1String(c.stored))
            return c;
    return captionTable[0];
}

QString VantuSettings::path()
{
    return QFileInfo(ConfigPaths::settingsFilePath())
        .dir()
        .filePath(QStringLiteral("Vantudict.ini"));
}

VantuSettings VantuSettings::load()
{
    VantuSettings s;
    ProfileFile own(path());
    own.load();
    const QString from = own.readString(Section, QStringLiteral("From"), s.from);
    const QString to = own.readString(Section, QStringLiteral("To"), s.to);
    if (dictLanguage(from) && dictLanguage(to) && from != to) {
        s.from = from;
        s.to = to;
    }
    s.server = own.readString(Section, QStringLiteral("Server"), QString());
    ProfileFile translator(ConfigPaths::settingsFilePath());
    translator.load();
    s.interfaceLanguage = translator.readString(QStringLiteral("Interface"),
                                                QStringLiteral("Language"), s.interfaceLanguage);
    return s;
}

void VantuSettings::save() const
{
    ProfileFile own(path());
    own.load();
    own.writeString(Section, QStringLiteral("From"), from);
    own.writeString(Section, QStringLiteral("To"), to);
    own.save();
}
