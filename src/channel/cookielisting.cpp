#include "channel/cookielisting.h"

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvane {
namespace {

bool isCookieFileName(const char* name, const QByteArray& suffix)
{
    if (name[0] == '.')
        return false;
    const std::size_t length = std::strlen(name);
    const std::size_t suffixLength = std::size_t(suffix.size());
    return length >= suffixLength && strcasecmp(name + length - suffixLength, suffix.constData()) == 0;
}

// Visits the file when it is a regular cookie file.
void visitIfCookieFile(int fd, const char* name, const QByteArray& suffix,
                       const std::function<void(int folderFd, const CookieFile& file)>& visit)
{
    struct stat info;
    if (!isCookieFileName(name, suffix) || fstatat(fd, name, &info, 0) != 0 || !S_ISREG(info.st_mode))
        return; // not a cookie file, or removed since the listing
    visit(fd, {name, qint64(info.st_mtim.tv_sec), quint64(info.st_ino), quint64(info.st_nlink)});
}

} // namespace

bool listCookieFiles(const QByteArray& folder, const QByteArray& suffix,
                     const std::function<void(int folderFd, const CookieFile& file)>& visit)
{
    DIR* dir = opendir(folder.constData());
    if (!dir)
        return false;
    const int fd = dirfd(dir);
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_type == DT_REG || entry->d_type == DT_UNKNOWN)
            visitIfCookieFile(fd, entry->d_name, suffix, visit);
    }
    closedir(dir);
    return true;
}

bool lookAtCookieFiles(const QByteArray& folder, const QByteArray& suffix, const QSet<QByteArray>& names,
                       const std::function<void(int folderFd, const CookieFile& file)>& visit)
{
    const int fd = open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    for (const QByteArray& name : names)
        visitIfCookieFile(fd, name.constData(), suffix, visit);
    ::close(fd);
    return true;
}

} // namespace orvane
