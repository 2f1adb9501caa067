#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

// A settings file in the Windows profile-file (INI) format:
//
//   [Section]
//   key=value
//
// Reading follows the Windows rules: section and key names match without
// regard to case, blanks around names and values are dropped, values are cut
// at 2047 characters, a missing key reads as its default. Writing changes the
// in-memory copy only; save() replaces the file on disk in one step.
//
// Everything the program does not know about (other sections and keys,
// comments, blank lines, odd lines) is kept where it is. Lines the program did
// not change are written back with their original bytes; changed and new lines
// are UTF-8. A line that is not valid UTF-8 is read as Latin-1, so an old
// hand-edited file loses nothing. LF and CRLF line ends are read; LF is
// written.
class ProfileFile
{
public:
    // Values longer than this are cut on reading.
    static constexpr int MaxValueLength = 2047;

    explicit ProfileFile(const QString& path = QString());

    const QString& path() const noexcept { return m_path; }

    // Reads the file. A missing or unreadable file gives an empty profile, so
    // every key reads as its default.
    void load();
    // Writes the whole profile to the file through a temporary file in the same
    // folder that is then renamed over it; the folder is created when missing.
    // Throws TarquellError("Unable to write to <file name>") and leaves the
    // old file as it was when anything fails.
    void save() const;

    void loadFromBytes(const QByteArray& bytes);
    QByteArray toBytes() const;

    bool contains(const QString& section, const QString& key) const;

    QString readString(const QString& section, const QString& key,
                       const QString& defaultValue) const;
    // Decimal, or hexadecimal behind "0x", "0X" or "$"; see parseInteger().
    int readInteger(const QString& section, const QString& key, int defaultValue) const;
    // Read as an integer: any value other than 0 is true.
    bool readBool(const QString& section, const QString& key, bool defaultValue) const;

    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);
    void writeBool(const QString& section, const QString& key, bool value);

    // The integer rule of readInteger(): blanks around the value, an optional
    // sign, then decimal digits or "0x"/"0X"/"$" and hexadecimal digits, and
    // nothing else: "12abc", "3000 ; pieces" and "0x" are no integers, so the
    // key reads as its default. A decimal value outside 32 bits gives
    // nullopt. Hexadecimal takes up to eight digits as a 32-bit pattern
    // ("0xFFFFFFFF" is -1); more digits give nullopt.
    static std::optional<int> parseInteger(const QString& text);

private:
    enum class Kind { Blank, Other, Section, Key };
    struct Line
    {
        Kind kind = Kind::Other;
        QString name;   // section name or key name, blanks dropped
        QString value;  // key lines: the value as read or written
        QByteArray raw; // the bytes as read; written back while the line is unchanged
        bool changed = false;
    };

    static Line parseLine(const QByteArray& raw);
    static Line keyLine(const QString& key, const QString& value);
    static Line sectionLine(const QString& section);

    // Index of the first header of the section, or -1.
    qsizetype findSection(const QString& section) const;
    // Index of the first key line of the key inside the section, or -1.
    qsizetype findKey(const QString& section, const QString& key) const;

    QString m_path;
    std::vector<Line> m_lines;
    bool m_byteOrderMark = false;
};
