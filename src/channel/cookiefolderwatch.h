#pragma once

#include "platform/inotifywatcher.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <functional>

namespace orvane {

// The cookie poller's watches: the folder, and each cookie file on its own (a write or a new link
// through a name in another folder raises events only on the file itself). It tells the poller which
// files the notifications named since the last listing, and whether only a listing can tell what the
// folder holds now (the folder itself changed, events were lost, the watch died).
class CookieFolderWatch
{
public:
    int handle() const { return m_watcher.handle(); }

    // Reads the notifications that wait; true when one says a command may have arrived: a file written
    // and closed, moved in, or whose times or link count changed. gone hears of each file removed or
    // moved away.
    bool take(const std::function<void(const QByteArray& name)>& gone);

    // Before a poll of the folder (its native path): reads what waits, and watches the folder anew where
    // it is new (or the same path now names another folder). True when the files the notifications named
    // are all that can have changed since the last listing: the folder is watched, on a file system
    // whose changes inotify sees completely (not a network file system, not FUSE), and nothing only a
    // listing can tell happened.
    bool sawEverything(const QByteArray& folder, const std::function<void(const QByteArray& name)>& gone);

    // The files the notifications named since the last listing; taken, the set is empty again.
    QSet<QByteArray> takeTouched() { return std::exchange(m_touched, {}); }
    // A listing starts: what the notifications said before is known now.
    void listing();
    // Watches a cookie file found in the folder, through the folder's descriptor.
    void watchFile(int folderFd, const char* name, quint64 inode);

private:
    void dropWatches();

    InotifyWatcher m_watcher;
    std::optional<int> m_folderWatch;
    quint64 m_device = 0;
    quint64 m_inode = 0;
    bool m_complete = false; // inotify sees every change of the watched folder
    bool m_changed = false;  // a change only a listing can tell
    bool m_lost = false;     // the folder's watch died, or events were lost
    QSet<QByteArray> m_touched;
    struct FileWatch
    {
        int watch = -1;
        quint64 inode = 0;
    };
    QHash<QByteArray, FileWatch> m_fileWatches; // name -> watch and inode
    QHash<int, QByteArray> m_watchedFiles;      // watch -> name
};

} // namespace orvane
