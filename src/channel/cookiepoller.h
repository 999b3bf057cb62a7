#pragma once

#include "channel/cookiefolder.h"
#include "platform/windowspath.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <functional>
#include <optional>

namespace orvane {

// Lists the cookie folder and hands on each cookie file that is newer than every file handed on
// before. Where the system offers change notification (inotify) on a local file system, a tick skips
// the listing when nothing in the folder has changed since the last listing: the outcome is the same,
// at a fraction of the cost. Each cookie file is watched as well, so that a write or a new link through a
// name in another folder (which raises no event on this folder) is heard of at once; as a safety net the
// files with several links are looked at once a second and the folder is listed every few seconds. A
// source may poll as soon as takeNotifications() says a file was written: the poll applies the tick's
// rules all the same. "Newer" compares modification times in whole seconds: a file rewritten within the
// second of its last handing-on is not handed on again. Times are compared as seconds of the system clock
// rather than local wall-clock time, which steps back an hour when daylight saving time ends and would then
// hide the commands of that hour.
class CookiePoller
{
public:
    using Handler = std::function<void(const QString& path)>;

    explicit CookiePoller(WindowsPathMapper mapper);
    ~CookiePoller();
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
    int notificationHandle() const { return m_notify; }
    // Reads the notifications that wait; true when one says a command may have arrived: a file written
    // and closed, moved in, or whose times or link count changed. The next poll then lists the folder.
    bool takeNotifications();

private:
    struct Touched
    {
        QByteArray name;
        qint64 seconds = 0;
    };

    // True when the folder is watched and nothing in it has changed since the last listing but the
    // files notifications named.
    bool unchangedSinceLastListing(const QByteArray& native);
    bool linkedFileChanged(const QByteArray& native) const;
    void watchFile(int folderFd, const char* name, quint64 inode);
    // The named cookie files now newer than lastCookieTime; nullopt when the folder cannot be opened.
    std::optional<QList<Touched>> lookAtTouched(const QByteArray& native, const CookieFolder& folder,
                                                qint64 lastCookieTime);
    void dropWatch();

    // Calls visit(name, seconds) for each cookie file; false when the folder cannot be listed.
    bool list(const CookieFolder& folder, const std::function<void(const char* name, qint64 seconds)>& visit);
    std::optional<QByteArray> nativeFolder(const QString& windowsPath, bool refresh);

    WindowsPathMapper m_mapper;
    QString m_cachedWindowsPath;
    QByteArray m_cachedNative;
    int m_notify = -1;
    int m_watch = -1;
    quint64 m_watchedDevice = 0;
    quint64 m_watchedInode = 0;
    quint64 m_listings = 0;
    bool m_notifiesEverything = false; // inotify sees every change of the watched folder
    bool m_changed = false;            // a change only a listing can tell (the folder itself, lost events)
    QSet<QByteArray> m_touched;        // files notifications named since the last look
    bool m_watchLost = false;          // the folder's watch died, or notifications were lost
    // Each cookie file is watched too: a write or a new link through a name in another folder raises no
    // event on this folder, only on the file itself. Name -> watch and inode; watch -> name.
    struct FileWatch
    {
        int watch = -1;
        quint64 inode = 0;
    };
    QHash<QByteArray, FileWatch> m_fileWatches;
    QHash<int, QByteArray> m_watchedFiles;
    QElapsedTimer m_sinceListing;
    qint64 m_lastListingAt = 0;
    qint64 m_lastLinkCheckAt = 0;
    // Files with more than one link (a change through another link raises no event here): name and
    // modification time at the last listing. They are looked at this often.
    QHash<QByteArray, qint64> m_linkedFiles;
    qint64 m_linkedFileMs = 1000;
};

} // namespace orvane
