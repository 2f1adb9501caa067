#include "platform/ProfileFile.h"

#include "platform/Errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <limits>

namespace {

const QByteArray Utf8Bom("\xEF\xBB\xBF");

// A line that is not valid UTF-8 comes from an older editor: Latin-1 maps
// every byte to a character, so nothing is lost.
QString decodeLine(const QByteArray& raw)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(raw);
    if (utf8.hasError())
        return QString::fromLatin1(raw);
    return text;
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A line break inside a name or value would split the line on the next read
// and could smuggle in keys or sections; it is stored as a blank.
QString oneLine(QString text)
{
    for (QChar& c : text) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    }
    return text;
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

} // namespace

ProfileFile::ProfileFile(const QString& path) : m_path(path) {}

void ProfileFile::load()
{
    m_lines.clear();
    m_byteOrderMark = false;
    // Only a regular file: a pipe or device at that path must not block the start.
    if (!QFileInfo(m_path).isFile())
        return;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    loadFromBytes(file.readAll());
}

void ProfileFile::save() const
{
    const QFileInfo info(m_path);
    const QString failure = QStringLiteral("Unable to write to %1").arg(info.fileName());
    QDir().mkpath(info.absolutePath());

    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        throw TarquellError(failure);
    const QByteArray bytes = toBytes();
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        throw TarquellError(failure);
    }
    if (!file.commit())
        throw TarquellError(failure);
}

void ProfileFile::loadFromBytes(const QByteArray& bytes)
{
    m_lines.clear();
    m_byteOrderMark = bytes.startsWith(Utf8Bom);
    const qsizetype size = bytes.size();
    qsizetype start = m_byteOrderMark ? Utf8Bom.size() : 0;
    while (start < size) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = size;
        qsizetype length = end - start;
        // CRLF, and stray carriage returns before the line feed, end the line.
        while (length > 0 && bytes.at(start + length - 1) == '\r')
            --length;
        m_lines.push_back(parseLine(bytes.mid(start, length)));
        start = end + 1;
    }
}

QByteArray ProfileFile::toBytes() const
{
    QByteArray out;
    if (m_byteOrderMark)
        out += Utf8Bom;
    for (const Line& line : m_lines) {
        if (!line.changed)
            out += line.raw;
        else if (line.kind == Kind::Section)
            out += (QLatin1Char('[') + line.name + QLatin1Char(']')).toUtf8();
        else if (line.kind == Kind::Key)
            out += (line.name + QLatin1Char('=') + line.value).toUtf8();
        out += '\n';
    }
    return out;
}

ProfileFile::Line ProfileFile::parseLine(const QByteArray& raw)
{
    Line line;
    line.raw = raw;
    const QString text = decodeLine(raw).trimmed();
    if (text.isEmpty()) {
        line.kind = Kind::Blank;
        return line;
    }
    if (text.startsWith(QLatin1Char(';')))
        return line; // comment
    if (text.startsWith(QLatin1Char('['))) {
        // "[Name]"; anything after the bracket (a comment) is ignored. A
        // bracket line that never closes is no header and no key.
        const qsizetype close = text.indexOf(QLatin1Char(']'));
        if (close > 0) {
            line.kind = Kind::Section;
            line.name = text.mid(1, close - 1).trimmed();
        }
        return line;
    }
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    if (equals <= 0)
        return line; // no key name: kept, never read
    line.kind = Kind::Key;
    line.name = text.left(equals).trimmed();
    line.value = text.mid(equals + 1).trimmed();
    return line;
}

ProfileFile::Line ProfileFile::keyLine(const QString& key, const QString& value)
{
    Line line;
    line.kind = Kind::Key;
    line.name = key;
    line.value = value;
    line.changed = true;
    return line;
}

ProfileFile::Line ProfileFile::sectionLine(const QString& section)
{
    Line line;
    line.kind = Kind::Section;
    line.name = section;
    line.changed = true;
    return line;
}

qsizetype ProfileFile::findSection(const QString& section) const
{
    // A section that appears twice is read and written in its first place;
    // the later copy is kept as it is.
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].kind == Kind::Section && sameName(m_lines[i].name, section))
            return qsizetype(i);
    }
    return -1;
}

qsizetype ProfileFile::findKey(const QString& section, const QString& key) const
{
    const qsizetype header = findSection(section);
    if (header < 0)
        return -1;
    for (std::size_t i = std::size_t(header) + 1; i < m_lines.size(); ++i) {
        const Line& line = m_lines[i];
        if (line.kind == Kind::Section)
            break;
        if (line.kind == Kind::Key && sameName(line.name, key))
            return qsizetype(i);
    }
    return -1;
}

bool ProfileFile::contains(const QString& section, const QString& key) const
{
    return findKey(section, key) >= 0;
}

QString ProfileFile::readString(const QString& section, const QString& key,
                                const QString& defaultValue) const
{
    const qsizetype at = findKey(section, key);
    if (at < 0)
        return defaultValue;
    // Trimmed here too, so that a value reads the same before and after a save.
    const QString value = m_lines[std::size_t(at)].value.trimmed();
    if (value.size() <= MaxValueLength)
        return value;
    // Never split a surrogate pair: half a character cannot be written back.
    qsizetype cut = MaxValueLength;
    if (value.at(cut - 1).isHighSurrogate() && value.at(cut).isLowSurrogate())
        --cut;
    return value.left(cut);
}

int ProfileFile::readInteger(const QString& section, const QString& key, int defaultValue) const
{
    const qsizetype at = findKey(section, key);
    if (at < 0)
        return defaultValue;
    return parseInteger(m_lines[std::size_t(at)].value).value_or(defaultValue);
}

bool ProfileFile::readBool(const QString& section, const QString& key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void ProfileFile::writeString(const QString& section, const QString& key, const QString& value)
{
    const QString sectionName = oneLine(section).trimmed();
    const QString keyName = oneLine(key).trimmed();
    const QString text = oneLine(value);

    const qsizetype at = findKey(sectionName, keyName);
    if (at >= 0) {
        Line& line = m_lines[std::size_t(at)];
        // An unchanged value keeps its line exactly as the user wrote it.
        if (line.value != text)
            line = keyLine(line.name, text);
        return;
    }

    const qsizetype header = findSection(sectionName);
    if (header >= 0) {
        // After the last key line of the section, so that blank lines and
        // comments before the next section stay where they are.
        std::size_t insertAt = std::size_t(header) + 1;
        for (std::size_t i = insertAt; i < m_lines.size(); ++i) {
            if (m_lines[i].kind == Kind::Section)
                break;
            if (m_lines[i].kind == Kind::Key)
                insertAt = i + 1;
        }
        m_lines.insert(m_lines.begin() + qsizetype(insertAt), keyLine(keyName, text));
        return;
    }

    if (!m_lines.empty() && m_lines.back().kind != Kind::Blank) {
        Line blank;
        blank.kind = Kind::Blank;
        m_lines.push_back(blank);
    }
    m_lines.push_back(sectionLine(sectionName));
    m_lines.push_back(keyLine(keyName, text));
}

void ProfileFile::writeInteger(const QString& section, const QString& key, int value)
{
    writeString(section, key, QString::number(value));
}

void ProfileFile::writeBool(const QString& section, const QString& key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

std::optional<int> ProfileFile::parseInteger(const QString& text)
{
    const QString t = text.trimmed();
    const qsizetype n = t.size();
    qsizetype i = 0;
    bool negative = false;
    if (i < n && (t.at(i) == QLatin1Char('+') || t.at(i) == QLatin1Char('-'))) {
        negative = t.at(i) == QLatin1Char('-');
        ++i;
    }

    qsizetype hexStart = -1;
    if (i + 1 < n && t.at(i) == QLatin1Char('0') &&
        (t.at(i + 1) == QLatin1Char('x') || t.at(i + 1) == QLatin1Char('X')))
        hexStart = i + 2;
    else if (i < n && t.at(i) == QLatin1Char('$'))
        hexStart = i + 1;

    if (hexStart >= 0 && hexStart < n && hexDigit(t.at(hexStart)) >= 0) {
        quint32 pattern = 0;
        int significant = 0;
        for (qsizetype j = hexStart; j < n && hexDigit(t.at(j)) >= 0; ++j) {
            if (significant > 0 || hexDigit(t.at(j)) != 0)
                ++significant;
            if (significant > 8)
                return std::nullopt;
            pattern = (pattern << 4) | quint32(hexDigit(t.at(j)));
        }
        for (qsizetype j = hexStart; j < n; ++j) {
            if (hexDigit(t.at(j)) < 0)
                return std::nullopt; // junk after the digits
        }
        if (negative)
            pattern = 0u - pattern;
        return static_cast<qint32>(pattern);
    }
    if (hexStart >= 0)
        return std::nullopt; // "0x" or "$" without digits

    qint64 magnitude = 0;
    qsizetype j = i;
    for (; j < n && t.at(j) >= QLatin1Char('0') && t.at(j) <= QLatin1Char('9'); ++j) {
        magnitude = magnitude * 10 + (t.at(j).unicode() - u'0');
        if (magnitude > qint64(1) << 31)
            return std::nullopt;
    }
    if (j == i || j < n)
        return std::nullopt; // no digits, or junk after them
    const qint64 value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return int(value);
}
