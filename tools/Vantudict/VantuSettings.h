#pragma once

#include <QString>

// What the dictionary keeps between runs, in Vantudict.ini beside the
// translator's settings file: the last pair and the DICT server, if any.
// The captions follow the interface language the translator stored.
struct VantuSettings
{
    QString from = QStringLiteral("en");
    QString to = QStringLiteral("de");
    QString server;                                        // dict://host:port, or empty
    QString interfaceLanguage = QStringLiteral("English"); // as the translator stores it

    static QString path();
    // Missing files and unknown codes give the defaults.
    static VantuSettings load();
    // Writes the pair (the server is configuration the user writes).
    void save() const;
};

// The captions of the window's controls in one interface language.
struct VantuCaptions
{
    const char* stored; // the translator's stored name: "English", "Chinois", ...
    const char* word;
    const char* from;
    const char* to;
    const char* back;
    const char* copy;
};

// The captions for the translator's stored interface language; English for
// one without a table (Korean stores nothing).
const VantuCaptions& captionsFor(const QString& storedLanguage);
