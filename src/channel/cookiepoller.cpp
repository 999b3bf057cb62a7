#include "channel/cookiepoller.h"

#include "app/logging.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>

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
