#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

// Translated files waiting for their download, in a private folder (0700)
// of the service's own, each under an id of 128 random bits. A file may be
// downloaded as often as wanted for its lifetime (a page downloads it, then
// offers its link again), and is removed after it. The files together stay
// within a size cap: a new file pushes out the oldest. Safe from several
// threads.
class FileStore
{
public:
    // parent: where the private folder is made (created 0700 if missing),
    // at the first put(). It must be this user's and writable by nobody
    // else: another user could plant links there. The folder is removed
    // with the store.
    FileStore(const QString& parent, qint64 capBytes, std::chrono::seconds lifetime);
    ~FileStore();
    FileStore(const FileStore&) = delete;
    FileStore& operator=(const FileStore&) = delete;

    // The folder under the cache folder ($XDG_CACHE_HOME, else ~/.cache,
    // else $XDG_RUNTIME_DIR, else /tmp) where the service keeps such
    // folders.
    static QString defaultParent();
    // Throws TarquellError with a message for the user when the parent
    // exists but is not a folder of this user's that only it may write to.
    static void checkParent(const QString& parent);
    // True for 32 lower-case hexadecimal digits, the form of every id.
    static bool isId(const QString& id);

    // Keeps the bytes under a new id, removing the oldest files while the
    // cap would be passed. Throws TarquellError when the file alone is
    // larger than the cap or cannot be written.
    QString put(const QByteArray& bytes, const QString& name, const QString& contentType);

    struct Taken
    {
        int fd = -1; // open for reading; the caller closes it
        qint64 size = 0;
        QString name;
        QString contentType;
    };
    // The file of this id, open for reading, if its name is the one
    // stored; it stays in the store. Nothing when there is no such file,
    // it expired or was pushed out, or the name differs.
    std::optional<Taken> open(const QString& id, const QString& name);

    // For tests and the settings page.
    qint64 capBytes() const { return m_cap; }
    qint64 storedBytes() const;
    QString folder() const;

private:
    struct Entry
    {
        QString name;
        QString contentType;
        qint64 size = 0;
        std::chrono::steady_clock::time_point expires;
        quint64 order = 0; // the order of put(): the oldest goes first
    };
    void ensureFolder(); // with m_mutex held
    void removeExpired(std::chrono::steady_clock::time_point now);
    void removeEntry(std::map<QString, Entry>::iterator it);
    void sweep();

    const QString m_parent;
    const qint64 m_cap;
    const std::chrono::seconds m_lifetime;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    QString m_folder;
    std::map<QString, Entry> m_entries;
    qint64 m_stored = 0;
    quint64 m_puts = 0;
    bool m_stopping = false;
    std::thread m_sweeper;
};
