#include "tools/Vantudict/DictIndex.h"

#include "tools/Vantudict/DictError.h"
#include "tools/Vantudict/Utf8.h"

#include <QFileInfo>
#include <cstring>

namespace {

// Larger than any index Debian ships (jpn-eng: 9 MB) by far; a larger file
// is not an index.
constexpr qint64 MaxIndexFile = qint64(1) << 31;

int digit64(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

} // namespace

DictIndex::DictIndex(const QString& path)
    : m_file(std::make_unique<QFile>(path)), m_name(QFileInfo(path).fileName())
{
    if (!m_file->open(QIODevice::ReadOnly))
        throw DictError(QStringLiteral("The index %1 cannot be opened.").arg(m_name));
    const qint64 size = m_file->size();
    if (size > MaxIndexFile)
        throw DictError(QStringLiteral("The index %1 is too large.").arg(m_name));
    if (size > 0) {
        uchar* map = m_file->map(0, size);
        if (!map)
            throw DictError(QStringLiteral("The index %1 cannot be read.").arg(m_name));
        m_data = reinterpret_cast<const char*>(map);
        m_size = size;
    }
    detectFlags();
}

DictIndex::DictIndex(QByteArrayView bytes, const QString& name)
    : m_data(bytes.data()), m_size(bytes.size()), m_name(name)
{
    detectFlags();
}

DictIndex::~DictIndex() = default;

void DictIndex::detectFlags()
{
    // dictfmt writes the flag as a headword of its own; with the blanks and
    // hyphens dropped it reads the same either way.
    m_allChars = !find(QStringLiteral("00-database-allchars")).isEmpty();
}

void DictIndex::damaged() const
{
    throw DictError(QStringLiteral("The index %1 is damaged.").arg(m_name));
}

std::u32string DictIndex::normalise(QStringView word, bool allChars)
{
    std::u32string out;
    bool blank = false;
    for (char32_t cp : word.toUcs4()) {
        if (QChar::isSpace(cp)) {
            blank = !out.empty();
            continue;
        }
        if (!keptInHeadword(cp, allChars))
            continue;
        if (blank)
            out.push_back(U' ');
        blank = false;
        out.push_back(foldCase(cp));
    }
    return out;
}

std::optional<quint64> DictIndex::decode64(QByteArrayView digits)
{
    // Eleven digits hold 66 bits: ten are plenty for any offset.
    if (digits.isEmpty() || digits.size() > 10)
        return std::nullopt;
    quint64 value = 0;
    for (char c : digits) {
        const int d = digit64(c);
        if (d < 0)
            return std::nullopt;
        value = (value << 6) | quint64(d);
    }
    return value;
}

qsizetype DictIndex::lineStart(qsizetype pos, qsizetype floor) const
{
    const qsizetype limit = std::max(floor, pos - MaxLineLength);
    while (pos > limit && m_data[pos - 1] != '\n')
        --pos;
    if (pos > floor && m_data[pos - 1] != '\n')
        damaged();
    return pos;
}

qsizetype DictIndex::lineEnd(qsizetype pos) const
{
    const void* nl = std::memchr(m_data + pos, '\n', size_t(m_size - pos));
    return nl ? static_cast<const char*>(nl) - m_data : m_size;
}

int DictIndex::compareAt(qsizetype pos, const std::u32string& word) const
{
    const char* p = m_data + pos;
    const char* end = m_data + m_size;
    size_t i = 0;
    while (p < end && *p != '\t' && *p != '\n') {
        const char32_t cp = nextCodePoint(p, end);
        if (!keptInHeadword(cp, m_allChars))
            continue;
        const char32_t c = foldCase(cp);
        if (i == word.size())
            return 1;
        if (c != word[i])
            return c < word[i] ? -1 : 1;
        ++i;
    }
    return i == word.size() ? 0 : -1;
}

QList<IndexHit> DictIndex::find(const QString& word) const
{
    QList<IndexHit> hits;
    const std::u32string key = normalise(word, m_allChars);
    // An empty word would match every headword that folds to nothing.
    if (key.empty() || m_size == 0)
        return hits;

    // The first line whose headword is not below the word.
    qsizetype lo = 0, hi = m_size;
    while (lo < hi) {
        const qsizetype mid = lo + (hi - lo) / 2;
        const qsizetype start = lineStart(mid, lo);
        if (compareAt(start, key) < 0)
            lo = std::min(lineEnd(start) + 1, m_size);
        else
            hi = start;
    }

    for (qsizetype pos = lo; pos < m_size && hits.size() < MaxHits;) {
        const qsizetype end = lineEnd(pos);
        if (end - pos > MaxLineLength)
            damaged();
        if (compareAt(pos, key) != 0)
            break;
        const QByteArrayView line(m_data + pos, end - pos);
        const qsizetype tab1 = line.indexOf('\t');
        const qsizetype tab2 = tab1 < 0 ? -1 : line.indexOf('\t', tab1 + 1);
        if (tab2 < 0)
            damaged();
        // dictfmt may add a fourth field (the original headword).
        qsizetype tab3 = line.indexOf('\t', tab2 + 1);
        if (tab3 < 0)
            tab3 = line.size();
        QByteArrayView lengthField = line.sliced(tab2 + 1, tab3 - tab2 - 1);
        if (lengthField.endsWith('\r'))
            lengthField.chop(1);
        const auto offset = decode64(line.sliced(tab1 + 1, tab2 - tab1 - 1));
        const auto length = decode64(lengthField);
        if (!offset || !length || *length > MaxEntryLength)
            damaged();
        hits.append({*offset, *length});
        pos = end + 1;
    }
    return hits;
}
