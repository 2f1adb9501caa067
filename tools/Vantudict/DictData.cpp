#include "tools/Vantudict/DictData.h"

#include "tools/Vantudict/DictError.h"
#include "tools/Vantudict/DictIndex.h"

#include <QFileInfo>
#include <zlib.h>

namespace {

constexpr qint64 MaxDataFile = qint64(1) << 32;

quint16 le16(const uchar* p)
{
    return quint16(p[0] | (p[1] << 8));
}

} // namespace

DictData::DictData(const QString& path)
    : m_file(std::make_unique<QFile>(path)), m_name(QFileInfo(path).fileName())
{
    m_compressed = path.endsWith(QLatin1String(".dz"));
    if (!m_file->open(QIODevice::ReadOnly))
        throw DictError(QStringLiteral("The dictionary %1 cannot be opened.").arg(m_name));
    const qint64 size = m_file->size();
    if (size > MaxDataFile)
        throw DictError(QStringLiteral("The dictionary %1 is too large.").arg(m_name));
    if (size > 0) {
        m_data = m_file->map(0, size);
        if (!m_data)
            throw DictError(QStringLiteral("The dictionary %1 cannot be read.").arg(m_name));
        m_size = size;
    }
    if (m_compressed)
        readHeader();
}

DictData::DictData(QByteArrayView bytes, bool compressed, const QString& name)
    : m_data(reinterpret_cast<const uchar*>(bytes.data())), m_size(bytes.size()),
      m_compressed(compressed), m_name(name)
{
    if (m_compressed)
        readHeader();
}

DictData::~DictData() = default;

void DictData::damaged() const
{
    throw DictError(QStringLiteral("The dictionary %1 is damaged.").arg(m_name));
}

void DictData::readHeader()
{
    // RFC 1952's member header: ID1 ID2 CM FLG MTIME(4) XFL OS, then the
    // optional fields FLG names, in this order.
    enum : uchar { FHCRC = 2, FEXTRA = 4, FNAME = 8, FCOMMENT = 16 };
    if (m_size < 10 || m_data[0] != 0x1f || m_data[1] != 0x8b || m_data[2] != 8)
        throw DictError(QStringLiteral("The dictionary %1 is not a gzip file.").arg(m_name));
    const uchar flags = m_data[3];
    qsizetype pos = 10;
    bool found = false;
    if (flags & FEXTRA) {
        if (m_size - pos < 2)
            damaged();
        const qsizetype xlen = le16(m_data + pos);
        pos += 2;
        if (m_size - pos < xlen)
            damaged();
        const qsizetype extraEnd = pos + xlen;
        // Subfields: SI1 SI2 LEN(2) and LEN bytes.
        for (qsizetype p = pos; extraEnd - p >= 4;) {
            const qsizetype len = le16(m_data + p + 2);
            if (extraEnd - p - 4 < len)
                damaged();
            if (m_data[p] == 'R' && m_data[p + 1] == 'A' && !found) {
                // VER(2) CHLEN(2) CHCNT(2), then CHCNT compressed lengths.
                const uchar* ra = m_data + p + 4;
                if (len < 6 || le16(ra) != 1)
                    damaged();
                m_chunkLength = le16(ra + 2);
                const qsizetype count = le16(ra + 4);
                if (m_chunkLength == 0 || count == 0 || len != 6 + 2 * count)
                    damaged();
                m_chunkOffsets.reserve(count + 1);
                m_chunkOffsets.append(0);
                for (qsizetype i = 0; i < count; ++i)
                    m_chunkOffsets.append(m_chunkOffsets.last() + le16(ra + 6 + 2 * i));
                found = true;
            }
            p += 4 + len;
        }
        pos = extraEnd;
    }
    if (!found)
        throw DictError(
            QStringLiteral("The dictionary %1 has no dictzip chunk table.").arg(m_name));
    for (uchar flag : {uchar(FNAME), uchar(FCOMMENT)}) {
        if (!(flags & flag))
            continue;
        const void* nul = memchr(m_data + pos, 0, size_t(m_size - pos));
        if (!nul)
            damaged();
        pos = static_cast<const uchar*>(nul) - m_data + 1;
    }
    if (flags & FHCRC)
        pos += 2;
    if (pos > m_size)
        damaged();
    for (qsizetype& offset : m_chunkOffsets)
        offset += pos;
    if (m_chunkOffsets.last() > m_size)
        damaged();
}

QByteArray DictData::inflateChunk(int chunk) const
{
    if (chunk == m_cachedChunk)
        return m_cached;
    const qsizetype begin = m_chunkOffsets[chunk];
    const qsizetype size = m_chunkOffsets[chunk + 1] - begin;
    QByteArray out(m_chunkLength, Qt::Uninitialized);
    z_stream z{};
    // Each chunk ends in a full flush: it inflates alone as raw deflate.
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        throw DictError(QStringLiteral("Out of memory."));
    z.next_in = const_cast<Bytef*>(m_data + begin);
    z.avail_in = uInt(size);
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    const int rc = inflate(&z, Z_SYNC_FLUSH);
    const uLong produced = z.total_out;
    const bool whole = z.avail_in == 0;
    inflateEnd(&z);
    if ((rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) || !whole)
        damaged();
    out.truncate(qsizetype(produced));
    m_cachedChunk = chunk;
    m_cached = out;
    return out;
}

QByteArray DictData::read(quint64 offset, quint64 length) const
{
    if (length > DictIndex::MaxEntryLength)
        damaged();
    if (!m_compressed) {
        if (offset > quint64(m_size) || length > quint64(m_size) - offset)
            damaged();
        return QByteArray(reinterpret_cast<const char*>(m_data) + offset, qsizetype(length));
    }
    if (length == 0)
        return QByteArray();
    const quint64 first = offset / m_chunkLength;
    const quint64 last = (offset + length - 1) / m_chunkLength;
    if (last >= quint64(chunkCount()))
        damaged();
    QByteArray out;
    out.reserve(qsizetype(length));
    for (quint64 c = first; c <= last; ++c) {
        const QByteArray chunk = inflateChunk(int(c));
        const quint64 from = c == first ? offset % m_chunkLength : 0;
        if (from >= quint64(chunk.size()))
            damaged();
        const quint64 want = std::min<quint64>(length - quint64(out.size()), chunk.size() - from);
        out.append(chunk.constData() + from, qsizetype(want));
        // Every chunk but the last inflates to the whole chunk length.
        if (c != last && quint64(chunk.size()) != m_chunkLength)
            damaged();
    }
    if (quint64(out.size()) != length)
        damaged();
    return out;
}
