#include "channel/cookiepoller.h"

#include "base/logging.h"
#include "platform/inotifyevents.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef Q_OS_LINUX
#include <sys/inotify.h>
#include <sys/vfs.h>
#endif

namespace orvane {
namespace {

// "*.ext" matched as Windows matches it: the extension compared without regard to case.
bool matchesPattern(const char* name, const QByteArray& suffix)
{
    const std::size_t length = std::strlen(name);
    const std::size_t suffixLength = std::size_t(suffix.size());
    return length >= suffixLength && strcasecmp(name + length - suffixLength, suffix.constData()) == 0;
}

#ifdef Q_OS_LINUX
// File systems whose changes inotify sees completely: not network file systems (changes made by other
// machines) and not FUSE (changes made behind the driver).
bool isLocalFileSystem(const QByteArray& native)
{
    struct statfs info;
    if (statfs(native.constData(), &info) != 0)
        return false;
    switch (static_cast<unsigned long>(info.f_type)) {
    case 0x6969UL:     // NFS
    case 0x517BUL:     // SMB
    case 0xFF534D42UL: // CIFS
    case 0xFE534D42UL: // SMB2
    case 0x65735546UL: // FUSE
    case 0x01021997UL: // 9P
    case 0x00C36400UL: // Ceph
    case 0x5346414FUL: // AFS
    case 0x6B414653UL: // kAFS
    case 0x47504653UL: // GPFS
    case 0x0BD00BD0UL: // Lustre
        return false;
    default:
        return true;
    }
}
#endif

class DirCloser
{
public:
    explicit DirCloser(DIR* dir) : m_dir(dir) {}
    ~DirCloser()
    {
        if (m_dir)
            closedir(m_dir);
    }
    DirCloser(const DirCloser&) = delete;
    DirCloser& operator=(const DirCloser&) = delete;

private:
    DIR* m_dir;
};

} // namespace

CookiePoller::CookiePoller(WindowsPathMapper mapper) : m_mapper(std::move(mapper))
{
    m_sinceListing.start();
#ifdef Q_OS_LINUX
    m_notify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_notify < 0)
        qCDebug(lcChannel) << "no change notification; the folder is listed on every tick";
#endif
}

CookiePoller::~CookiePoller()
{
    if (m_notify >= 0)
        close(m_notify);
}

void CookiePoller::dropWatch()
{
#ifdef Q_OS_LINUX
    if (m_watch >= 0)
        inotify_rm_watch(m_notify, m_watch);
    for (auto it = m_watchedFiles.cbegin(); it != m_watchedFiles.cend(); ++it)
        inotify_rm_watch(m_notify, it.key());
#endif
    m_watch = -1;
    m_fileWatches.clear();
    m_watchedFiles.clear();
}

bool CookiePoller::takeNotifications()
{
#ifdef Q_OS_LINUX
    if (m_notify < 0)
        return false;
    bool arrived = false;
    readInotifyEvents(m_notify, [&](const inotify_event& event) {
        if (event.mask & IN_Q_OVERFLOW) {
            // Events were lost: only a listing and a new watch can tell what the folder holds now.
            m_watchLost = m_changed = arrived = true;
            return;
        }
        if (event.wd == m_watch) {
            // The folder was removed or its file system unmounted.
            if (event.mask & (IN_IGNORED | IN_UNMOUNT))
                m_watchLost = true;
            if (event.len == 0 || (event.mask & (IN_IGNORED | IN_UNMOUNT | IN_DELETE_SELF | IN_MOVE_SELF))) {
                m_changed = true; // the folder itself: only a listing tells
                return;
            }
            // A file written, created, moved in, or with new times: that file is looked at. One removed
            // or moved away needs no look (it carries no command any more).
            if (event.mask & (IN_MODIFY | IN_CLOSE_WRITE | IN_CREATE | IN_ATTRIB | IN_MOVED_TO))
                m_touched.insert(QByteArray(event.name));
            if (event.mask & (IN_DELETE | IN_MOVED_FROM))
                m_linkedFiles.remove(QByteArray(event.name));
            if (event.mask & (IN_CLOSE_WRITE | IN_MOVED_TO | IN_ATTRIB))
                arrived = true;
            return;
        }
        const auto file = m_watchedFiles.constFind(event.wd);
        if (file == m_watchedFiles.cend())
            return;
        if (event.mask & IN_IGNORED) { // the file is gone (its last name removed)
            m_fileWatches.remove(*file);
            m_watchedFiles.erase(file);
            return;
        }
        // Written, or a link or a time changed, through any name.
        m_touched.insert(*file);
        arrived = true;
    });
    return arrived;
#else
    return false;
#endif
}

void CookiePoller::watchFile(int folderFd, const char* name, quint64 inode)
{
#ifdef Q_OS_LINUX
    if (!m_notifiesEverything)
        return;
    const QByteArray key(name);
    const auto known = m_fileWatches.constFind(key);
    if (known != m_fileWatches.cend() && known->inode == inode)
        return;
    // The path through the folder's descriptor: the watch is on the file the name stands for now.
    const QByteArray path = "/proc/self/fd/" + QByteArray::number(folderFd) + '/' + key;
    const int watch = inotify_add_watch(m_notify, path.constData(), IN_ATTRIB | IN_CLOSE_WRITE);
    if (watch < 0)
        return; // out of watches: the folder's own watch and the once-a-second look remain
    m_fileWatches.insert(key, {watch, inode});
    m_watchedFiles.insert(watch, key);
#else
    Q_UNUSED(folderFd);
    Q_UNUSED(name);
    Q_UNUSED(inode);
#endif
}

bool CookiePoller::unchangedSinceLastListing(const QByteArray& native)
{
#ifdef Q_OS_LINUX
    if (m_notify < 0)
        return false;
    struct stat info;
    if (stat(native.constData(), &info) != 0) {
        dropWatch();
        return false;
    }
    // Every event read here happened before this tick's listing; events during the listing are read at
    // the next tick, which then lists again.
    takeNotifications();
    if (m_watchLost) {
        m_watchLost = false;
        dropWatch();
    }
    if (m_watch < 0 || info.st_dev != m_watchedDevice || info.st_ino != m_watchedInode) {
        // A new folder (or the same path now naming another folder): watch it and list it.
        dropWatch();
        m_watch = inotify_add_watch(m_notify, native.constData(),
                                    IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE |
                                        IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF);
        m_watchedDevice = info.st_dev;
        m_watchedInode = info.st_ino;
        m_notifiesEverything = m_watch >= 0 && isLocalFileSystem(native);
        return false;
    }
    // Changes made on another machine (network file systems) or behind a FUSE driver raise no event:
    // such folders are listed on every tick. Elsewhere the files the notifications named are looked at
    // by the caller, one by one.
    if (!m_notifiesEverything || m_changed)
        return false;
    // Should a file's own watch be missing (no watches left), a change through a hard link in another
    // folder raises no event: files with more than one link are looked at once a second, and the whole
    // folder is listed every few seconds. The rest of the time an idle tick costs next to nothing, also
    // with thousands of files.
    const qint64 now = m_sinceListing.elapsed();
    if (now - m_lastListingAt >= kFullListingMs)
        return false;
    if (now - m_lastLinkCheckAt >= m_linkedFileMs) {
        m_lastLinkCheckAt = now;
        return !linkedFileChanged(native);
    }
    return true;
#else
    Q_UNUSED(native);
    return false;
#endif
}

bool CookiePoller::linkedFileChanged(const QByteArray& native) const
{
    for (auto it = m_linkedFiles.cbegin(); it != m_linkedFiles.cend(); ++it) {
        struct stat info;
        const QByteArray path = native + '/' + it.key();
        if (stat(path.constData(), &info) != 0 || qint64(info.st_mtim.tv_sec) != it.value())
            return true;
    }
    return false;
}

std::optional<QByteArray> CookiePoller::nativeFolder(const QString& windowsPath, bool refresh)
{
    // The folder is the same on every tick; it is mapped again only when it could not be opened.
    if (!refresh && windowsPath == m_cachedWindowsPath && !m_cachedNative.isEmpty())
        return m_cachedNative;
    const std::optional<QString> native = m_mapper.toNative(windowsPath);
    if (!native)
        return std::nullopt;
    m_cachedWindowsPath = windowsPath;
    m_cachedNative = QFile::encodeName(*native);
    return m_cachedNative;
}

bool CookiePoller::list(const CookieFolder& folder,
                        const std::function<void(const char* name, qint64 seconds)>& visit)
{
    std::optional<QByteArray> native = nativeFolder(folder.windowsPath, false);
    if (!native)
        return false;
    ++m_listings;
    m_changed = false;
    m_touched.clear();
    m_lastListingAt = m_sinceListing.elapsed();
    m_lastLinkCheckAt = m_lastListingAt;
    m_linkedFiles.clear();
    DIR* dir = opendir(native->constData());
    if (!dir) {
        native = nativeFolder(folder.windowsPath, true);
        if (!native || !(dir = opendir(native->constData())))
            return false;
    }
    const DirCloser closer(dir);
    const QByteArray suffix = folder.pattern.mid(1).toLatin1(); // "*.txt" -> ".txt"
    const int fd = dirfd(dir);
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        if (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN)
            continue;
        if (!matchesPattern(entry->d_name, suffix))
            continue;
        struct stat info;
        if (fstatat(fd, entry->d_name, &info, 0) != 0)
            continue; // removed since the listing
        if (!S_ISREG(info.st_mode))
            continue;
        if (info.st_nlink > 1)
            m_linkedFiles.insert(QByteArray(entry->d_name), qint64(info.st_mtim.tv_sec));
        watchFile(fd, entry->d_name, quint64(info.st_ino));
        visit(entry->d_name, qint64(info.st_mtim.tv_sec));
    }
    return true;
}

void CookiePoller::poll(const CookieFolder& folder, qint64& lastCookieTime, const Handler& handler)
{
    const auto handOn = [&](const char* name, qint64 seconds) {
        if (lastCookieTime >= seconds)
            return;
        lastCookieTime = seconds;
        QByteArray path = m_cachedNative;
        if (!path.endsWith('/'))
            path.append('/');
        path.append(name);
        handler(QFile::decodeName(path));
    };
    if (const std::optional<QByteArray> native = nativeFolder(folder.windowsPath, false);
        native && unchangedSinceLastListing(*native)) {
        // After a listing every file's time is at most lastCookieTime, and only the files named since
        // can have become newer: looking at those gives what a listing would. Where more than one is
        // newer, only a listing knows their order.
        const std::optional<QList<Touched>> newer = lookAtTouched(*native, folder, lastCookieTime);
        if (newer && newer->size() <= 1) {
            for (const Touched& file : *newer)
                handOn(file.name.constData(), file.seconds);
            return;
        }
    }
    list(folder, handOn);
}

std::optional<QList<CookiePoller::Touched>>
CookiePoller::lookAtTouched(const QByteArray& native, const CookieFolder& folder, qint64 lastCookieTime)
{
    QList<Touched> newer;
    if (m_touched.isEmpty())
        return newer;
    const int fd = open(native.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    const QByteArray suffix = folder.pattern.mid(1).toLatin1();
    for (const QByteArray& name : std::as_const(m_touched)) {
        struct stat info;
        if (name.startsWith('.') || !matchesPattern(name.constData(), suffix) ||
            fstatat(fd, name.constData(), &info, 0) != 0 || !S_ISREG(info.st_mode))
            continue;
        const qint64 seconds = qint64(info.st_mtim.tv_sec);
        // A file that gained a link is looked at every second from now on, as a listing would note.
        if (info.st_nlink > 1)
            m_linkedFiles.insert(name, seconds);
        else
            m_linkedFiles.remove(name);
        watchFile(fd, name.constData(), quint64(info.st_ino));
        if (seconds > lastCookieTime)
            newer.append({name, seconds});
    }
    ::close(fd);
    m_touched.clear();
    return newer;
}

std::optional<qint64> CookiePoller::newestTime(const CookieFolder& folder)
{
    // The folder is watched from before this listing on, so that the first tick need not list it again.
    if (const std::optional<QByteArray> native = nativeFolder(folder.windowsPath, false))
        unchangedSinceLastListing(*native);
    std::optional<qint64> newest;
    list(folder, [&](const char*, qint64 seconds) {
        if (!newest || seconds > *newest)
            newest = seconds;
    });
    return newest;
}

} // namespace orvane
