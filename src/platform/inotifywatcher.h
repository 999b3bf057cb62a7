#pragma once

#include <QByteArray>
#include <QFlags>
#include <functional>
#include <optional>

namespace orvane {

// The system's file change notification (inotify; elsewhere there is none, and every call says so):
// one notification handle, the watches added to it, and the events read from it in order.
class InotifyWatcher
{
public:
    enum class Change : quint32 {
        Modified = 1 << 0,      // written
        ClosedWritten = 1 << 1, // closed after a write
        Attributes = 1 << 2,    // times, links, mode
        Created = 1 << 3,
        Deleted = 1 << 4,
        MovedFrom = 1 << 5,
        MovedTo = 1 << 6,
        SelfDeleted = 1 << 7, // the watched file or folder itself
        SelfMoved = 1 << 8,
        Ignored = 1 << 9, // the watch is gone (its file removed, or removed by remove())
        Unmounted = 1 << 10,
        Overflow = 1 << 11, // events were lost: only a fresh look tells what changed
    };
    Q_DECLARE_FLAGS(Changes, Change)

    struct Event
    {
        int watch = -1; // -1 with Overflow
        Changes changes;
        QByteArray name; // the file's name within a watched folder; empty for the watched item itself
    };

    InotifyWatcher(); // non-blocking, closed on exec
    ~InotifyWatcher();
    InotifyWatcher(const InotifyWatcher&) = delete;
    InotifyWatcher& operator=(const InotifyWatcher&) = delete;

    // The handle to wait on (readable while events wait), -1 where there is no notification.
    int handle() const { return m_fd; }
    bool available() const { return m_fd >= 0; }

    // Watches a file or folder (its native path) for those changes; nullopt when it cannot (no such
    // file, no watches left, no notification here).
    std::optional<int> add(const QByteArray& path, Changes changes);
    void remove(int watch);
    // Reads every event that waits, in order; nothing waits on a handle that would block.
    void read(const std::function<void(const Event& event)>& visit);

private:
    int m_fd = -1;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(InotifyWatcher::Changes)

} // namespace orvane
