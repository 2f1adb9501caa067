#pragma once

#include <QByteArray>
#include <QList>
#include <zip.h>

// A zip archive written in memory from named parts, through libzip, for the
// tests that hand the document translator packages of their own.
struct ZipEntry
{
    const char* name;
    QByteArray data;
};

inline QByteArray makeZip(const QList<ZipEntry>& entries)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* out = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(out);
    zip_t* z = zip_open_from_source(out, ZIP_TRUNCATE, &error);
    // libzip reads the parts' bytes when the archive is closed.
    const QList<ZipEntry> keep = entries;
    for (const ZipEntry& e : keep) {
        zip_source_t* s =
            zip_source_buffer(z, e.data.constData(), static_cast<zip_uint64_t>(e.data.size()), 0);
        zip_file_add(z, e.name, s, ZIP_FL_ENC_UTF_8);
    }
    zip_close(z);
    zip_source_open(out);
    QByteArray bytes;
    char buffer[65536];
    zip_int64_t n;
    while ((n = zip_source_read(out, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, static_cast<qsizetype>(n));
    zip_source_close(out);
    zip_source_free(out);
    zip_error_fini(&error);
    return bytes;
}

// A Word package as little as a reader takes: its content types, the
// document and the parts given.
inline QByteArray wordPackage(const QByteArray& documentXml, QList<ZipEntry> more = {})
{
    more.prepend({"word/document.xml", documentXml});
    more.prepend({"[Content_Types].xml", "<Types/>"});
    return makeZip(more);
}
