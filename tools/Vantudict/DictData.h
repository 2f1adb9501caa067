#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <memory>

// The text of a dictd dictionary: name.dict, or name.dict.dz compressed by
// dictzip, whose gzip header carries a table of independently compressed
// chunks (the "RA" extra field) so that any part can be inflated alone.
// The file is mapped; only the chunks a definition spans are inflated.
class DictData
{
public:
    // A dictzip header with more chunks than this is not one dictzip wrote
    // for a dictionary (FreeDict's largest has about 1,300).
    static constexpr int MaxChunks = 1 << 20;

    // Maps the file and reads its header; throws DictError when it cannot.
    explicit DictData(const QString& path);
    // Over bytes held elsewhere (the fuzz target); they must outlive this.
    DictData(QByteArrayView bytes, bool compressed, const QString& name = QString());
    ~DictData();

    // The bytes at offset, at most DictIndex::MaxEntryLength of them. Throws
    // DictError when they lie outside the text or do not inflate.
    QByteArray read(quint64 offset, quint64 length) const;

    bool compressed() const noexcept { return m_compressed; }
    int chunkCount() const noexcept { return int(m_chunkOffsets.size()) - 1; }

private:
    void readHeader();
    QByteArray inflateChunk(int chunk) const;
    [[noreturn]] void damaged() const;

    std::unique_ptr<QFile> m_file;
    const uchar* m_data = nullptr;
    qsizetype m_size = 0;
    bool m_compressed = false;
    QString m_name;
    quint32 m_chunkLength = 0;
    // Where each chunk starts in the file, and one past the last.
    QList<qsizetype> m_chunkOffsets;
    // The last chunk inflated: a definition and the next one asked for
    // usually share it.
    mutable int m_cachedChunk = -1;
    mutable QByteArray m_cached;
};
