#include "channel/cookiepoller.h"

#include "base/logging.h"

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
#endif
    m_watch = -1;
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
    bool changed = false;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t got = read(m_notify, buffer, sizeof buffer);
        if (got <= 0)
            break;
        changed = true;
    }
    if (m_watch < 0 || info.st_dev != m_watchedDevice || info.st_ino != m_watchedInode) {
        // A new folder (or the same path now naming another folder): watch it and list it.
        dropWatch();
        m_watch = inotify_add_watch(m_notify, native.constData(),
                                    IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE |
                                        IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF);
        m_watchedDevice = info.st_dev;
        m_watchedInode = info.st_ino;
        return false;
    }
    return !changed;
#else
    Q_UNUSED(native);
    return false;
#endif
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
        visit(entry->d_name, qint64(info.st_mtim.tv_sec));
    }
    return true;
}

void CookiePoller::poll(const CookieFolder& folder, qint64& lastCookieTime, const Handler& handler)
{
    if (const std::optional<QByteArray> native = nativeFolder(folder.windowsPath, false);
        native && unchangedSinceLastListing(*native))
        return;
    QByteArray path;
    list(folder, [&](const char* name, qint64 seconds) {
        if (lastCookieTime >= seconds)
            return;
        lastCookieTime = seconds;
        path = m_cachedNative;
        if (!path.endsWith('/'))
            path.append('/');
        path.append(name);
        handler(QFile::decodeName(path));
    });
}

std::optional<qint64> CookiePoller::newestTime(const CookieFolder& folder)
{
    std::optional<qint64> newest;
    list(folder, [&](const char*, qint64 seconds) {
        if (!newest || seconds > *newest)
            newest = seconds;
    });
    return newest;
}

} // namespace orvane
