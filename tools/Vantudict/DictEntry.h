#pragma once

#include <QString>
#include <QStringList>

// One definition as the window and the command line show it.
struct DictEntry
{
    QString headword;
    QString pronunciation; // as the dictionary writes it, slashes and all
    QString partOfSpeech;
    // One per sense; lines that belong to a sense (examples, synonyms,
    // notes) follow it after a line break.
    QStringList senses;
    QString source; // the dictionary's name
    QString note;   // how it was found, when not directly ("Through English: house")

    bool operator==(const DictEntry&) const = default;
};

// Reads a definition in the layout FreeDict's dictd files use:
//
//   house /hˈaʊs/ <n>
//   1. Haus <neut>
//         "build a house"  - ein Haus bauen
//    see: {houses}
//
// The first line holds the headword, pronunciations between slashes and the
// part of speech in angle brackets; each line that starts at the margin
// opens a sense, indented lines belong to the sense above. Text that has no
// such first line still gives an entry: its first line is the headword.
DictEntry parseDictEntry(const QString& text);

// The entry as plain text: the headword line, then the senses numbered.
QString formatEntry(const DictEntry& entry);

// The first few translations a sense gives, without grammar notes:
// "Haus <neut>, Heim [adm.]" gives "Haus" and "Heim".
QStringList translationsOf(const DictEntry& entry, int most);
