#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <memory>
#include <optional>
#include <string>

// Where one definition lies in the dictionary's text.
struct IndexHit
{
    quint64 offset = 0;
    quint64 length = 0;
};

// A dictd index (name.index): sorted lines "headword TAB offset TAB length",
// offset and length in dictd's base 64. The file is mapped, never copied.
// Headwords compare as dictd compares them: case folded and, unless the
// dictionary says 00-database-allchars, only letters, digits and blanks.
class DictIndex
{
public:
    // Definitions longer than this are refused: FreeDict's longest is a few
    // kilobytes, so a larger one is a damaged index.
    static constexpr quint64 MaxEntryLength = 1 << 20;
    // No headword line is longer than this in a sound index.
    static constexpr qsizetype MaxLineLength = 64 * 1024;
    // At most this many definitions of one headword.
    static constexpr int MaxHits = 64;

    // Maps the file; throws DictError when it cannot.
    explicit DictIndex(const QString& path);
    // Over bytes held elsewhere (tests and the fuzz target); they must
    // outlive the index.
    explicit DictIndex(QByteArrayView bytes, const QString& name = QString());
    ~DictIndex();

    // The definitions of the word, in index order. Throws DictError when the
    // lines of the word are damaged.
    QList<IndexHit> find(const QString& word) const;

    bool allChars() const noexcept { return m_allChars; }
    const QString& name() const noexcept { return m_name; }

    // The word as the index keeps its headwords: folded, blanks collapsed
    // and, unless allChars, only letters, digits and blanks.
    static std::u32string normalise(QStringView word, bool allChars);
    // dictd's base 64 ("ABC...xyz0123456789+/", most significant digit
    // first); nullopt for an empty, overlong or foreign text.
    static std::optional<quint64> decode64(QByteArrayView digits);

private:
    void detectFlags();
    // -1, 0, 1 as the key of the line at pos compares with the word.
    int compareAt(qsizetype pos, const std::u32string& word) const;
    qsizetype lineStart(qsizetype pos, qsizetype floor) const;
    qsizetype lineEnd(qsizetype pos) const;
    [[noreturn]] void damaged() const;

    std::unique_ptr<QFile> m_file;
    const char* m_data = nullptr;
    qsizetype m_size = 0;
    bool m_allChars = false;
    QString m_name;
};
