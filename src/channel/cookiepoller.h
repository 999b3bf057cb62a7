#pragma once

#include "channel/cookiefolder.h"
#include "channel/cookiefolderwatch.h"
#include "channel/linkedfiles.h"
#include "platform/windowspath.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <optional>

namespace orvane {

// Lists the cookie folder and hands on each cookie file that is newer than every file handed on
// before. Where the system offers change notification (inotify) on a local file system, a poll skips
// the listing when nothing in the folder has changed since the last listing but the files the
// notifications named, and looks at those alone: the outcome is the same, at a fraction of the cost
// (CookieFolderWatch). As a safety net the files with several links are looked at once a second
// (LinkedFiles) and the folder is listed every few seconds. A source may poll as soon as
// takeNotifications() says a file was written: the poll applies the tick's rules all the same. "Newer"
// compares modification times in whole seconds: a file rewritten within the second of its last
// handing-on is not handed on again. Times are compared as seconds of the system clock rather than local
// wall-clock time, which steps back an hour when daylight saving time ends and would then hide the
// commands of that hour.
class CookiePoller
{
public:
    using Handler = std::function<void(const QString& path)>;

    explicit CookiePoller(WindowsPathMapper mapper);
    CookiePoller(const CookiePoller&) = delete;
    CookiePoller& operator=(const CookiePoller&) = delete;

    // One tick: the files of folder matching its pattern (regular files only; a name beginning with
    // "." counts as hidden), in the order the file system lists them. For each file whose whole-second
    // modification time is later than lastCookieTime, lastCookieTime takes that time first, then the
    // handler runs with the file's path. A missing or unreadable folder hands on nothing.
    void poll(const CookieFolder& folder, qint64& lastCookieTime, const Handler& handler);

    // The newest whole-second modification time among the folder's cookie files, nullopt when it has
    // none. The folder is watched from then on.
    std::optional<qint64> newestTime(const CookieFolder& folder);

    // Even where notification says nothing changed, the whole folder is listed this often.
    static constexpr qint64 kFullListingMs = 5000;
    // How often the files with more than one link are looked at (once a second unless set).
    void setLinkedFileInterval(qint64 ms) { m_linkedFileMs = ms; }

    // The number of listings made so far (ticks that were not skipped).
    quint64 listings() const { return m_listings; }

    // The change notifications' handle (readable when notifications wait), -1 without notification.
    int notificationHandle() const { return m_watch.handle(); }
    // Reads the notifications that wait; true when one says a command may have arrived: a file written
    // and closed, moved in, or whose times or link count changed.
    bool takeNotifications();

private:
    // True when looking at the files the notifications named gives what a listing would.
    bool mayLookAtTouchedOnly(const QByteArray& native);
    // Lists the folder, visit(name, seconds) for each cookie file; false when it cannot be listed.
    bool list(const CookieFolder& folder, const std::function<void(const char* name, qint64 seconds)>& visit);
    std::optional<QByteArray> nativeFolder(const QString& windowsPath, bool refresh);

    WindowsPathMapper m_mapper;
    QString m_cachedWindowsPath;
    QByteArray m_cachedNative;
    CookieFolderWatch m_watch;
    LinkedFiles m_linkedFiles;
    quint64 m_listings = 0;
    QElapsedTimer m_sinceStart;
    qint64 m_lastListingAt = 0;
    qint64 m_lastLinkCheckAt = 0;
    qint64 m_linkedFileMs = 1000;
};

} // namespace orvane
