#include "channel/cookiefolderwatch.h"

#include <sys/stat.h>

#ifdef Q_OS_LINUX
#include <sys/vfs.h>
#endif

namespace orvane {
namespace {

using Change = InotifyWatcher::Change;

// File systems whose changes inotify sees completely: not network file systems (changes made by other
// machines) and not FUSE (changes made behind the driver).
bool isLocalFileSystem(const QByteArray& native)
{
#ifdef Q_OS_LINUX
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
#else
    Q_UNUSED(native);
    return false;
#endif
}

} // namespace

void CookieFolderWatch::dropWatches()
{
    if (m_folderWatch)
        m_watcher.remove(*m_folderWatch);
    for (auto it = m_watchedFiles.cbegin(); it != m_watchedFiles.cend(); ++it)
        m_watcher.remove(it.key());
    m_folderWatch.reset();
    m_fileWatches.clear();
    m_watchedFiles.clear();
}

bool CookieFolderWatch::take(const std::function<void(const QByteArray& name)>& gone)
{
    bool arrived = false;
    m_watcher.read([&](const InotifyWatcher::Event& event) {
        if (event.changes & Change::Overflow) {
            // Events were lost: only a listing and a new watch can tell what the folder holds now.
            m_lost = m_changed = arrived = true;
            return;
        }
        if (m_folderWatch && event.watch == *m_folderWatch) {
            // The folder was removed or its file system unmounted.
            if (event.changes & (Change::Ignored | Change::Unmounted))
                m_lost = true;
            if (event.name.isEmpty() || (event.changes & (Change::Ignored | Change::Unmounted |
                                                          Change::SelfDeleted | Change::SelfMoved))) {
                m_changed = true; // the folder itself: only a listing tells
                return;
            }
            // A file written, created, moved in, or with new times: that file is looked at. One removed
            // or moved away needs no look (it carries no command any more).
            if (event.changes & (Change::Modified | Change::ClosedWritten | Change::Created |
                                 Change::Attributes | Change::MovedTo))
                m_touched.insert(event.name);
            if (event.changes & (Change::Deleted | Change::MovedFrom))
                gone(event.name);
            if (event.changes & (Change::ClosedWritten | Change::MovedTo | Change::Attributes))
                arrived = true;
            return;
        }
        const auto file = m_watchedFiles.constFind(event.watch);
        if (file == m_watchedFiles.cend())
            return;
        if (event.changes & Change::Ignored) { // the file is gone (its last name removed)
            m_fileWatches.remove(*file);
            m_watchedFiles.erase(file);
            return;
        }
        // Written, or a link or a time changed, through any name.
        m_touched.insert(*file);
        arrived = true;
    });
    return arrived;
}

bool CookieFolderWatch::sawEverything(const QByteArray& folder,
                                      const std::function<void(const QByteArray& name)>& gone)
{
    if (!m_watcher.available())
        return false;
    struct stat info;
    if (stat(folder.constData(), &info) != 0) {
        dropWatches();
        return false;
    }
    // Every event read here happened before this poll's listing; events during the listing are read at
    // the next poll, which then lists again.
    take(gone);
    if (m_lost) {
        m_lost = false;
        dropWatches();
    }
    if (!m_folderWatch || quint64(info.st_dev) != m_device || quint64(info.st_ino) != m_inode) {
        dropWatches();
        m_folderWatch = m_watcher.add(folder, Change::Modified | Change::Attributes | Change::ClosedWritten |
                                                  Change::Created | Change::Deleted | Change::MovedFrom |
                                                  Change::MovedTo | Change::SelfDeleted | Change::SelfMoved);
        m_device = quint64(info.st_dev);
        m_inode = quint64(info.st_ino);
        m_complete = m_folderWatch && isLocalFileSystem(folder);
        return false;
    }
    return m_complete && !m_changed;
}

void CookieFolderWatch::listing()
{
    m_changed = false;
    m_touched.clear();
}

void CookieFolderWatch::watchFile(int folderFd, const char* name, quint64 inode)
{
    if (!m_complete)
        return;
    const QByteArray key(name);
    const auto known = m_fileWatches.constFind(key);
    if (known != m_fileWatches.cend() && known->inode == inode)
        return;
    // The path through the folder's descriptor: the watch is on the file the name stands for now.
    const QByteArray path = "/proc/self/fd/" + QByteArray::number(folderFd) + '/' + key;
    const std::optional<int> watch = m_watcher.add(path, Change::Attributes | Change::ClosedWritten);
    if (!watch)
        return; // out of watches: the folder's own watch and the linked files' look remain
    m_fileWatches.insert(key, {*watch, inode});
    m_watchedFiles.insert(*watch, key);
}

} // namespace orvane
