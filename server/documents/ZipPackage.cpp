#include "server/documents/ZipPackage.h"

#include "server/documents/DocumentError.h"

#include <QSet>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <zip.h>
#include <zlib.h>

namespace {
// A name that would land outside the folder it is unpacked into, on any
// system: absolute, a drive, or a ".." step (with either slash).
bool escapesFolder(const QByteArray& name)
{
    if (name.isEmpty() || name.startsWith('/') || name.startsWith('\\'))
        return true;
    if (name.size() >= 2 && name[1] == ':')
        return true;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= name.size(); ++i) {
        if (i == name.size() || name[i] == '/' || name[i] == '\\') {
            if (i - start == 2 && name[start] == '.' && name[start + 1] == '.')
                return true;
            start = i + 1;
        }
    }
    return false;
}

// A replaced part, held deflated until the archive is written: a
// document's translated parts together may come to hundreds of megabytes
// of XML, their deflated copies to a small share of that. libzip reads it
// back through this source, a buffer at a time, when it writes the
// archive.
class HeldPart
{
public:
    HeldPart(QByteArray deflated, quint64 size)
        : m_deflated(std::move(deflated)), m_size(size), m_mtime(std::time(nullptr))
    {
        zip_error_init(&m_error);
    }
    ~HeldPart()
    {
        if (m_open)
            inflateEnd(&m_stream);
        zip_error_fini(&m_error);
    }
    HeldPart(const HeldPart&) = delete;
    HeldPart& operator=(const HeldPart&) = delete;

    // The part deflated in buffers of 64 KiB, so that no buffer of the
    // whole part's bound is ever taken. Empty when zlib fails.
    static QByteArray deflated(const QByteArray& content)
    {
        z_stream s{};
        if (deflateInit(&s, Z_BEST_SPEED) != Z_OK)
            return {};
        s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.constData()));
        s.avail_in = static_cast<uInt>(content.size());
        QByteArray out;
        char buffer[65536];
        int r = Z_OK;
        while (r == Z_OK) {
            s.next_out = reinterpret_cast<Bytef*>(buffer);
            s.avail_out = sizeof buffer;
            r = deflate(&s, Z_FINISH);
            out.append(buffer, static_cast<qsizetype>(sizeof buffer - s.avail_out));
        }
        deflateEnd(&s);
        return r == Z_STREAM_END ? out : QByteArray();
    }

    static zip_int64_t callback(void* userdata, void* data, zip_uint64_t length,
                                zip_source_cmd_t command)
    {
        return static_cast<HeldPart*>(userdata)->answer(data, length, command);
    }

private:
    zip_int64_t answer(void* data, zip_uint64_t length, zip_source_cmd_t command)
    {
        switch (command) {
        case ZIP_SOURCE_OPEN:
            if (m_open)
                inflateEnd(&m_stream);
            m_stream = z_stream{};
            m_open = inflateInit(&m_stream) == Z_OK;
            m_ended = false;
            if (!m_open) {
                zip_error_set(&m_error, ZIP_ER_MEMORY, 0);
                return -1;
            }
            m_stream.next_in = reinterpret_cast<Bytef*>(m_deflated.data());
            m_stream.avail_in = static_cast<uInt>(m_deflated.size());
            return 0;
        case ZIP_SOURCE_READ: {
            if (!m_open) {
                zip_error_set(&m_error, ZIP_ER_INTERNAL, 0);
                return -1;
            }
            if (m_ended)
                return 0;
            const uInt chunk = static_cast<uInt>(std::min<zip_uint64_t>(length, 1u << 30));
            m_stream.next_out = static_cast<Bytef*>(data);
            m_stream.avail_out = chunk;
            const int r = inflate(&m_stream, Z_NO_FLUSH);
            if (r == Z_STREAM_END)
                m_ended = true;
            else if (r != Z_OK) {
                zip_error_set(&m_error, ZIP_ER_INTERNAL, 0);
                return -1;
            }
            return static_cast<zip_int64_t>(chunk - m_stream.avail_out);
        }
        case ZIP_SOURCE_CLOSE:
            if (m_open)
                inflateEnd(&m_stream);
            m_open = false;
            return 0;
        case ZIP_SOURCE_STAT: {
            if (length < sizeof(zip_stat_t)) {
                zip_error_set(&m_error, ZIP_ER_INVAL, 0);
                return -1;
            }
            auto* st = static_cast<zip_stat_t*>(data);
            zip_stat_init(st);
            st->size = m_size;
            st->mtime = m_mtime;
            st->comp_size = m_size;
            st->comp_method = ZIP_CM_STORE;
            st->encryption_method = ZIP_EM_NONE;
            st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD |
                        ZIP_STAT_ENCRYPTION_METHOD;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&m_error, data, length);
        case ZIP_SOURCE_FREE:
            delete this;
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ,
                                                  ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
        default:
            zip_error_set(&m_error, ZIP_ER_OPNOTSUPP, 0);
            return -1;
        }
    }

    QByteArray m_deflated;
    const quint64 m_size;
    const time_t m_mtime;
    zip_error_t m_error;
    z_stream m_stream{};
    bool m_open = false;
    bool m_ended = false;
};

QString libzipMessage(int code)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const QString text = QString::fromUtf8(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}
} // namespace

ZipPackage::ZipPackage(const QByteArray& data, const DocumentLimits& limits, const QString& what)
    : m_data(data), m_limits(limits), m_what(what)
{
    zip_error_t error;
    zip_error_init(&error);
    // (libzip would take no ownership of an empty buffer.)
    if (m_data.size() < 22)
        fail(QStringLiteral("it is not a zip archive"));
    // libzip's own copy: once it has written the saved archive, libzip
    // 1.7 frees the buffer it was opened on even when told not to.
    void* copy = std::malloc(static_cast<size_t>(m_data.size()));
    if (!copy)
        throw DocumentError(DocumentError::Kind::TooLarge,
                            QStringLiteral("The %1 is too large to be read").arg(m_what));
    std::memcpy(copy, m_data.constData(), static_cast<size_t>(m_data.size()));
    zip_source_t* source =
        zip_source_buffer_create(copy, static_cast<zip_uint64_t>(m_data.size()), 1, &error);
    if (!source) {
        std::free(copy);
        zip_error_fini(&error);
        fail(QStringLiteral("it could not be read"));
    }
    zip_t* archive = zip_open_from_source(source, ZIP_CHECKCONS, &error);
    if (!archive) {
        zip_source_free(source);
        const int code = zip_error_code_zip(&error);
        zip_error_fini(&error);
        if (code == ZIP_ER_NOZIP)
            fail(QStringLiteral("it is not a zip archive"));
        if (code == ZIP_ER_EXISTS)
            throw DocumentError(DocumentError::Kind::Refused,
                                QStringLiteral("The %1 is refused: it holds two files of the "
                                               "same name")
                                    .arg(m_what));
        fail(QStringLiteral("its archive is damaged (%1)").arg(libzipMessage(code)));
    }
    // The source stays ours past zip_close, which writes the saved archive
    // into it.
    zip_source_keep(source);
    m_source.reset(source);
    m_zip.reset(archive);
    zip_error_fini(&error);

    const zip_int64_t count = zip_get_num_entries(m_zip.get(), 0);
    if (count < 0)
        fail(QStringLiteral("its archive is damaged"));
    if (count > m_limits.archiveEntries)
        throw DocumentError(DocumentError::Kind::TooLarge,
                            QStringLiteral("The %1 holds %2 files; at most %3 are accepted")
                                .arg(m_what)
                                .arg(count)
                                .arg(m_limits.archiveEntries));
    quint64 total = 0;
    QSet<QByteArray> names;
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(m_zip.get(), static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW, &st) != 0 ||
            !(st.valid & ZIP_STAT_NAME) || !(st.valid & ZIP_STAT_SIZE) ||
            !(st.valid & ZIP_STAT_COMP_SIZE))
            fail(QStringLiteral("its archive is damaged"));
        Entry entry{QByteArray(st.name), st.size, st.comp_size};
        if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
            throw DocumentError(DocumentError::Kind::Refused,
                                QStringLiteral("The %1 is encrypted (password-protected); "
                                               "remove the password and try again")
                                    .arg(m_what));
        if ((st.valid & ZIP_STAT_COMP_METHOD) &&
            !zip_compression_method_supported(st.comp_method, 0))
            fail(QStringLiteral("it uses a compression method that is not supported"));
        if (escapesFolder(entry.name))
            throw DocumentError(DocumentError::Kind::Refused,
                                QStringLiteral("The %1 is refused: it holds a file named \"%2\", "
                                               "which points outside the archive")
                                    .arg(m_what, QString::fromUtf8(entry.name)));
        if (names.contains(entry.name))
            throw DocumentError(DocumentError::Kind::Refused,
                                QStringLiteral("The %1 is refused: it holds two files named "
                                               "\"%2\"")
                                    .arg(m_what, QString::fromUtf8(entry.name)));
        names.insert(entry.name);
        total += entry.size;
        if (total > static_cast<quint64>(m_limits.uncompressedBytes))
            throw DocumentError(DocumentError::Kind::TooLarge,
                                QStringLiteral("The %1 unpacks to more than %2 MiB; that is "
                                               "more than is accepted")
                                    .arg(m_what)
                                    .arg(m_limits.uncompressedBytes / (1024 * 1024)));
        if (entry.size > static_cast<quint64>(m_limits.inflateGraceBytes) &&
            entry.size / std::max<quint64>(entry.compressedSize, 1) >
                static_cast<quint64>(m_limits.inflateRatio))
            throw DocumentError(DocumentError::Kind::Refused,
                                QStringLiteral("The %1 is refused: its part \"%2\" inflates "
                                               "more than %3 times, as only a compression "
                                               "bomb does")
                                    .arg(m_what, QString::fromUtf8(entry.name))
                                    .arg(m_limits.inflateRatio));
        if (entry.size > static_cast<quint64>(m_limits.partBytes))
            throw DocumentError(DocumentError::Kind::TooLarge,
                                QStringLiteral("The %1 holds a part \"%2\" of more than %3 MiB; "
                                               "that is more than is accepted")
                                    .arg(m_what, QString::fromUtf8(entry.name))
                                    .arg(m_limits.partBytes / (1024 * 1024)));
        m_index.insert(entry.name, m_entries.size());
        m_entries << entry;
    }
    // The whole archive against what was really uploaded: the directory's
    // compressed sizes are only claims, and many parts each below the
    // entry's grace add up all the same.
    if (total > static_cast<quint64>(m_limits.archiveGraceBytes) &&
        total / static_cast<quint64>(m_data.size()) > static_cast<quint64>(m_limits.archiveRatio))
        throw DocumentError(DocumentError::Kind::Refused,
                            QStringLiteral("The %1 is refused: it unpacks to %2 MiB from %3 KiB, "
                                           "more than %4 times its size, as only a compression "
                                           "bomb does")
                                .arg(m_what)
                                .arg(total / (1024 * 1024))
                                .arg(m_data.size() / 1024)
                                .arg(m_limits.archiveRatio));
}

ZipPackage::~ZipPackage() = default;

void ZipPackage::FreeSource::operator()(zip_source* source) const
{
    zip_source_free(source);
}

void ZipPackage::Discard::operator()(zip* archive) const
{
    zip_discard(archive);
}

void ZipPackage::fail(const QString& why) const
{
    throw DocumentError(DocumentError::Kind::Refused,
                        QStringLiteral("The file is not a valid %1: %2").arg(m_what, why));
}

QByteArray ZipPackage::read(qsizetype index)
{
    if (index < 0 || index >= m_entries.size() || !m_zip)
        fail(QStringLiteral("a part it needs is missing"));
    const Entry& entry = m_entries[index];
    zip_file_t* file = zip_fopen_index(m_zip.get(), static_cast<zip_uint64_t>(index), 0);
    if (!file)
        fail(QStringLiteral("its part \"%1\" cannot be read (%2)")
                 .arg(QString::fromUtf8(entry.name),
                      QString::fromUtf8(zip_error_strerror(zip_get_error(m_zip.get())))));
    QByteArray content;
    // What the directory says is only a claim: memory grows with what
    // actually inflates.
    content.reserve(static_cast<qsizetype>(std::min<quint64>(entry.size, 1024 * 1024)));
    char buffer[65536];
    QString problem;
    for (;;) {
        const zip_int64_t n = zip_fread(file, buffer, sizeof buffer);
        if (n < 0) {
            problem = QString::fromUtf8(zip_error_strerror(zip_file_get_error(file)));
            break;
        }
        if (n == 0)
            break;
        // Never more than the directory promised, whatever the stream says.
        if (static_cast<quint64>(content.size() + n) > entry.size) {
            problem = QStringLiteral("it holds more than its directory declares");
            break;
        }
        content.append(buffer, static_cast<qsizetype>(n));
        m_inflated += n;
    }
    zip_fclose(file);
    if (problem.isEmpty() && static_cast<quint64>(content.size()) != entry.size)
        problem = QStringLiteral("it holds less than its directory declares");
    if (!problem.isEmpty())
        fail(QStringLiteral("its part \"%1\" is damaged (%2)")
                 .arg(QString::fromUtf8(entry.name), problem));
    return content;
}

void ZipPackage::replace(qsizetype index, const QByteArray& content)
{
    if (index < 0 || index >= m_entries.size() || !m_zip)
        fail(QStringLiteral("a part it needs is missing"));
    const auto packFailed = [this](const QString& why) {
        return DocumentError(
            DocumentError::Kind::Failed,
            QStringLiteral("The translated %1 could not be packed: %2").arg(m_what, why));
    };
    QByteArray deflated = HeldPart::deflated(content);
    if (deflated.isEmpty())
        throw packFailed(QStringLiteral("it could not be compressed"));
    auto part =
        std::make_unique<HeldPart>(std::move(deflated), static_cast<quint64>(content.size()));
    zip_source_t* source = zip_source_function(m_zip.get(), &HeldPart::callback, part.get());
    if (!source)
        throw packFailed(QString::fromUtf8(zip_strerror(m_zip.get())));
    (void)part.release(); // the source's now: it frees the part
    if (zip_file_replace(m_zip.get(), static_cast<zip_uint64_t>(index), source, 0) < 0) {
        zip_source_free(source);
        throw packFailed(QString::fromUtf8(zip_strerror(m_zip.get())));
    }
    m_changed = true;
}

QByteArray ZipPackage::save()
{
    if (!m_zip)
        fail(QStringLiteral("it was already written"));
    if (!m_changed)
        return m_data;
    const int closed = zip_close(m_zip.get());
    if (closed != 0) {
        const QString why = QString::fromUtf8(zip_strerror(m_zip.get()));
        m_zip.reset();
        throw DocumentError(
            DocumentError::Kind::Failed,
            QStringLiteral("The translated %1 could not be packed: %2").arg(m_what, why));
    }
    (void)m_zip.release(); // closed: libzip freed it

    QByteArray out;
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_source_stat(m_source.get(), &st) == 0 && (st.valid & ZIP_STAT_SIZE))
        out.reserve(static_cast<qsizetype>(st.size));
    if (zip_source_open(m_source.get()) < 0)
        throw DocumentError(DocumentError::Kind::Failed,
                            QStringLiteral("The translated %1 could not be packed").arg(m_what));
    char buffer[65536];
    zip_int64_t n;
    while ((n = zip_source_read(m_source.get(), buffer, sizeof buffer)) > 0)
        out.append(buffer, static_cast<qsizetype>(n));
    zip_source_close(m_source.get());
    if (n < 0)
        throw DocumentError(DocumentError::Kind::Failed,
                            QStringLiteral("The translated %1 could not be packed").arg(m_what));
    return out;
}
