#pragma once

#include <QByteArray>
#include <QSet>
#include <functional>

namespace orvane {

// One cookie file of the cookie folder: a regular file whose name does not begin with "." and matches
// the folder's pattern "*.ext" (the extension compared without regard to case, as Windows does).
struct CookieFile
{
    const char* name;
    qint64 seconds = 0; // modification time, whole seconds of the system clock
    quint64 inode = 0;
    quint64 links = 1;
};

// The listing: visits every cookie file of the folder (its native path) in the order the file system
// lists them, with the folder's descriptor (for watches through it); false when the folder cannot be
// opened.
bool listCookieFiles(const QByteArray& folder, const QByteArray& suffix,
                     const std::function<void(int folderFd, const CookieFile& file)>& visit);

// The same for the named files alone; a name that is no cookie file (any more) is passed over.
bool lookAtCookieFiles(const QByteArray& folder, const QByteArray& suffix, const QSet<QByteArray>& names,
                       const std::function<void(int folderFd, const CookieFile& file)>& visit);

} // namespace orvane
