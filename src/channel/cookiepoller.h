#pragma once

#include "app/windowspath.h"
#include "channel/cookiefolder.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

namespace orvane {

// Lists the cookie folder and hands on each cookie file that is newer than every file handed on
// before. "Newer" compares modification times in whole seconds: a file rewritten within the second of
// its last handing-on is not handed on again. Times are compared as seconds of the system clock rather
// than local wall-clock time, which steps back an hour when daylight saving time ends and would then
// hide the commands of that hour.
class CookiePoller
{
public:
    using Handler = std::function<void(const QString& path)>;

    explicit CookiePoller(WindowsPathMapper mapper) : m_mapper(std::move(mapper)) {}

    // One tick: the files of folder matching its pattern (regular files only; a name beginning with
    // "." counts as hidden), in the order the file system lists them. For each file whose whole-second
    // modification time is later than lastCookieTime, lastCookieTime takes that time first, then the
    // handler runs with the file's path. A missing or unreadable folder hands on nothing.
    void poll(const CookieFolder& folder, qint64& lastCookieTime, const Handler& handler);

    // The newest whole-second modification time among the folder's cookie files, nullopt when it has
    // none.
    std::optional<qint64> newestTime(const CookieFolder& folder);

private:
    // Calls visit(name, seconds) for each cookie file; false when the folder cannot be listed.
    bool list(const CookieFolder& folder, const std::function<void(const char* name, qint64 seconds)>& visit);
    std::optional<QByteArray> nativeFolder(const QString& windowsPath, bool refresh);

    WindowsPathMapper m_mapper;
    QString m_cachedWindowsPath;
    QByteArray m_cachedNative;
};

} // namespace orvane
