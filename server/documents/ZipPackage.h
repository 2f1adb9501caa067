#pragma once

#include "server/documents/DocumentLimits.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <memory>

struct zip;
struct zip_source;

// A zip archive (.docx, .odt, .epub, ...) held in memory, read with
// libzip. Opening checks it whole before anything is read: the entry
// count, the uncompressed total and each entry's inflation ratio that its
// directory declares, encryption, compression methods, and names (none
// absolute, none climbing out with "..", none twice), the largest part, and
// the whole archive's inflation against the bytes it came in. Reading an entry
// stops at the size its directory declares. Saving writes the replaced
// entries anew and copies every other entry as it was stored, so that
// images and embedded objects come back byte for byte, in their order.
// Failures are DocumentErrors that name the document as `what`.
class ZipPackage
{
public:
    struct Entry
    {
        QByteArray name; // as stored (UTF-8 in every format we read)
        quint64 size = 0;
        quint64 compressedSize = 0;
    };

    ZipPackage(const QByteArray& data, const DocumentLimits& limits, const QString& what);
    ~ZipPackage();
    ZipPackage(const ZipPackage&) = delete;
    ZipPackage& operator=(const ZipPackage&) = delete;

    const QList<Entry>& entries() const { return m_entries; }
    // The entry's index, or -1.
    qsizetype indexOf(const QByteArray& name) const { return m_index.value(name, -1); }
    // The entry's content, inflated and checked against its CRC.
    QByteArray read(qsizetype index);
    QByteArray read(const QByteArray& name) { return read(indexOf(name)); }
    // The entry gets this content when the archive is saved. The content is
    // held deflated until then, so that a caller can translate a document
    // part by part and drop each part as soon as it is replaced.
    void replace(qsizetype index, const QByteArray& content);
    // The whole archive with the replacements. The package is spent after.
    QByteArray save();

private:
    [[noreturn]] void fail(const QString& why) const;

    const QByteArray m_data;
    const DocumentLimits m_limits;
    const QString m_what;
    // Ours and the archive's hold on the source: the archive goes first.
    struct FreeSource
    {
        void operator()(zip_source* source) const;
    };
    struct Discard
    {
        void operator()(zip* archive) const;
    };
    std::unique_ptr<zip_source, FreeSource> m_source;
    std::unique_ptr<zip, Discard> m_zip;
    QList<Entry> m_entries;
    QHash<QByteArray, qsizetype> m_index;
    bool m_changed = false;
    qint64 m_inflated = 0;
};
