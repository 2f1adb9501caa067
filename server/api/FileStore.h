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
// of the service's own, each under an id of 128 random bits. A file is
// given out once: taking it removes it. One that nobody takes is removed
// after its lifetime. The files together stay within a size cap. Safe from
// several threads.
class FileStore
{
public:
    // parent: where the private folder is made (created 0700 if missing),
    // at the first put(). The folder is removed with the store.
    FileStore(const QString& parent, qint64 capBytes, std::chrono::seconds lifetime);
    ~FileStore();
    FileStore(const FileStore&) = delete;
    FileStore& operator=(const FileStore&) = delete;

    // The folder under the cache folder ($XDG_CACHE_HOME, else ~/.cache)
    // where the service keeps such folders.
    static QString defaultParent();
    // True for 32 lower-case hexadecimal digits, the form of every id.
    static bool isId(const QString& id);

    // Keeps the bytes under a new id. Throws TarquellError when the cap
    // would be passed or the file cannot be written.
    QString put(const QByteArray& bytes, const QString& name, const QString& contentType);

    struct Taken
    {
        int fd = -1; // open for reading; the caller closes it
        qint64 size = 0;
        QString name;
        QString contentType;
    };
    // The file of this id if its name is the one stored; it leaves the
    // store (its descriptor stays readable). Nothing when there is no such
    // file, it expired, or the name differs.
    std::optional<Taken> take(const QString& id, const QString& name);

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
    bool m_stopping = false;
    std::thread m_sweeper;
};
