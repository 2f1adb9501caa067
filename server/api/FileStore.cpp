#include "server/api/FileStore.h"

#include "platform/Errors.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QByteArray local(const QString& path)
{
    return QFile::encodeName(path);
}

QString newId()
{
    unsigned char bytes[16];
    size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw TarquellError(QStringLiteral("no random numbers for a file id: %1")
                                    .arg(QString::fromLocal8Bit(std::strerror(errno))));
        }
        got += static_cast<size_t>(n);
    }
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(bytes), sizeof bytes).toHex());
}

// A folder of ours that nobody else may enter: made here or before by us,
// not a link, mode 0700.
bool isPrivateFolder(const QString& path)
{
    struct stat st
    {
    };
    return ::lstat(local(path).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

bool writeAll(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// Removes the flat folder name in parent without following any link: a
// link planted under that name, or inside the folder, is removed as a link
// and its target is never touched. Only a folder of this user's is
// entered.
bool removeFolder(const QString& parent, const QString& name)
{
    const int parentFd =
        ::open(local(parent).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (parentFd < 0)
        return false;
    const QByteArray entry = local(name);
    bool removed = false;
    const int fd =
        ::openat(parentFd, entry.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st
    {
    };
    if (fd < 0) {
        // A link or a file under a folder's name: only the name goes.
        if (::fstatat(parentFd, entry.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            !S_ISDIR(st.st_mode) && st.st_uid == ::geteuid())
            removed = ::unlinkat(parentFd, entry.constData(), 0) == 0;
    } else if (::fstat(fd, &st) == 0 && st.st_uid == ::geteuid()) {
        if (DIR* dir = ::fdopendir(::dup(fd))) {
            while (const dirent* e = ::readdir(dir)) {
                if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                    ::unlinkat(fd, e->d_name, 0); // the store's files are never folders
            }
            ::closedir(dir);
        }
        removed = ::unlinkat(parentFd, entry.constData(), AT_REMOVEDIR) == 0;
    }
    if (fd >= 0)
        ::close(fd);
    ::close(parentFd);
    return removed;
}

// The folders of services that are gone ("files-<pid>" whose process no
// longer runs) are removed.
void removeLeftovers(const QString& parent)
{
    const QStringList names =
        QDir(parent).entryList({QStringLiteral("files-*")},
                               QDir::Dirs | QDir::Files | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        bool ok = false;
        const int pid = name.mid(6).toInt(&ok);
        if (ok && pid > 0 && pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH)
            removeFolder(parent, name);
    }
}
} // namespace

FileStore::FileStore(const QString& parent, qint64 capBytes, std::chrono::seconds lifetime)
    : m_parent(parent), m_cap(capBytes), m_lifetime(lifetime)
{
}

FileStore::~FileStore()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_sweeper.joinable())
        m_sweeper.join();
    if (!m_folder.isEmpty())
        removeFolder(m_parent, QFileInfo(m_folder).fileName());
}

QString FileStore::defaultParent()
{
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty() || !QDir::isAbsolutePath(cache)) {
        const QString home = qEnvironmentVariable("HOME");
        if (home.isEmpty() || !QDir::isAbsolutePath(home)) {
            // The runtime folder is the user's own (0700) by definition;
            // /tmp is shared, so what is found there is checked.
            const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
            if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime))
                return runtime + QStringLiteral("/tarquell-service");
            return QStringLiteral("/tmp/tarquell-service-%1").arg(::geteuid());
        }
        cache = home + QStringLiteral("/.cache");
    }
    return cache + QStringLiteral("/tarquell-service");
}

void FileStore::checkParent(const QString& parent)
{
    struct stat st
    {
    };
    if (::lstat(local(parent).constData(), &st) != 0)
        return; // made 0700 when first needed
    if (S_ISLNK(st.st_mode) || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() ||
        (st.st_mode & 022) != 0)
        throw TarquellError(
            QStringLiteral("The folder for translated files, %1, is not a folder of this user's "
                           "that only this user may write to; remove it, or set XDG_CACHE_HOME "
                           "to a folder of your own")
                .arg(parent));
}

bool FileStore::isId(const QString& id)
{
    if (id.size() != 32)
        return false;
    for (const QChar c : id) {
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
              (c >= QLatin1Char('a') && c <= QLatin1Char('f'))))
            return false;
    }
    return true;
}

qint64 FileStore::storedBytes() const
{
    std::lock_guard lock(m_mutex);
    return m_stored;
}

QString FileStore::folder() const
{
    std::lock_guard lock(m_mutex);
    return m_folder;
}

void FileStore::ensureFolder()
{
    if (!m_folder.isEmpty() && isPrivateFolder(m_folder))
        return;
    const auto fail = [this](const QString& what) {
        return TarquellError(
            QStringLiteral("the folder for translated files (%1) %2").arg(m_parent, what));
    };
    QDir().mkpath(QFileInfo(m_parent).absolutePath());
    if (::mkdir(local(m_parent).constData(), 0700) != 0 && errno != EEXIST)
        throw fail(QString::fromLocal8Bit(std::strerror(errno)));
    // Another user who may write there could plant a link under a name we
    // clean.
    checkParent(m_parent);
    removeLeftovers(m_parent);
    const QString base = QStringLiteral("files-%1").arg(::getpid());
    const QString folder = m_parent + QLatin1Char('/') + base;
    if (::mkdir(local(folder).constData(), 0700) != 0) {
        // Ours from an earlier process of the same number: begun afresh.
        if (errno != EEXIST || !isPrivateFolder(folder) || !removeFolder(m_parent, base) ||
            ::mkdir(local(folder).constData(), 0700) != 0)
            throw fail(QStringLiteral("cannot be made private"));
    }
    if (!isPrivateFolder(folder))
        throw fail(QStringLiteral("is not private to this user"));
    m_folder = folder;
    m_entries.clear();
    m_stored = 0;
    if (!m_sweeper.joinable())
        m_sweeper = std::thread([this] { sweep(); });
}

QString FileStore::put(const QByteArray& bytes, const QString& name, const QString& contentType)
{
    QString id;
    QString path;
    {
        std::lock_guard lock(m_mutex);
        removeExpired(std::chrono::steady_clock::now());
        if (bytes.size() > m_cap)
            throw TarquellError(
                QStringLiteral("The translated file is larger than the service may keep "
                               "(%1 bytes)")
                    .arg(m_cap));
        // The oldest files make room. Files still being written by other
        // requests are counted but not in m_entries: when they alone fill
        // the cap, this one waits for no one and is refused.
        while (m_stored + bytes.size() > m_cap && !m_entries.empty()) {
            auto oldest = m_entries.begin();
            for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
                if (it->second.order < oldest->second.order)
                    oldest = it;
            }
            removeEntry(oldest);
        }
        if (m_stored + bytes.size() > m_cap)
            throw TarquellError(
                QStringLiteral("The service is keeping too many translated files at once; try "
                               "again in a while"));
        ensureFolder();
        id = newId();
        path = m_folder + QLatin1Char('/') + id;
        m_stored += bytes.size(); // reserved while the file is written
    }
    const int fd =
        ::open(local(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    const bool written = fd >= 0 && writeAll(fd, bytes);
    const int error = errno;
    if (fd >= 0)
        ::close(fd);
    std::lock_guard lock(m_mutex);
    if (!written) {
        m_stored -= bytes.size();
        ::unlink(local(path).constData());
        throw TarquellError(QStringLiteral("The translated file cannot be kept: %1")
                                .arg(QString::fromLocal8Bit(std::strerror(error))));
    }
    m_entries[id] = {name, contentType, bytes.size(), std::chrono::steady_clock::now() + m_lifetime,
                     ++m_puts};
    m_wake.notify_all();
    return id;
}

std::optional<FileStore::Taken> FileStore::open(const QString& id, const QString& name)
{
    if (!isId(id))
        return std::nullopt;
    std::lock_guard lock(m_mutex);
    removeExpired(std::chrono::steady_clock::now());
    const auto it = m_entries.find(id);
    if (it == m_entries.end() || it->second.name != name)
        return std::nullopt;
    Taken taken{-1, it->second.size, it->second.name, it->second.contentType};
    // A download under way keeps its descriptor when the file is removed.
    taken.fd = ::open(local(m_folder + QLatin1Char('/') + id).constData(),
                      O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (taken.fd < 0)
        return std::nullopt;
    struct stat st
    {
    };
    if (::fstat(taken.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(taken.fd);
        return std::nullopt;
    }
    taken.size = st.st_size;
    return taken;
}

void FileStore::removeEntry(std::map<QString, Entry>::iterator it)
{
    ::unlink(local(m_folder + QLatin1Char('/') + it->first).constData());
    m_stored -= it->second.size;
    m_entries.erase(it);
}

void FileStore::removeExpired(std::chrono::steady_clock::time_point now)
{
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->second.expires <= now)
            removeEntry(it++);
        else
            ++it;
    }
}

// Files expire on time even when no request comes to notice.
void FileStore::sweep()
{
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        auto next = std::chrono::steady_clock::time_point::max();
        for (const auto& [id, entry] : m_entries)
            next = std::min(next, entry.expires);
        if (next == std::chrono::steady_clock::time_point::max())
            m_wake.wait(lock);
        else
            m_wake.wait_until(lock, next);
        removeExpired(std::chrono::steady_clock::now());
    }
}
