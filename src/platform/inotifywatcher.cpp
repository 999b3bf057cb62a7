#include "platform/inotifywatcher.h"

#include <unistd.h>

#ifdef __linux__
#include <sys/inotify.h>
#endif

namespace orvane {

#ifdef __linux__
namespace {

using Change = InotifyWatcher::Change;

constexpr struct
{
    Change change;
    quint32 mask;
} kMasks[] = {
    {Change::Modified, IN_MODIFY},     {Change::ClosedWritten, IN_CLOSE_WRITE},
    {Change::Attributes, IN_ATTRIB},   {Change::Created, IN_CREATE},
    {Change::Deleted, IN_DELETE},      {Change::MovedFrom, IN_MOVED_FROM},
    {Change::MovedTo, IN_MOVED_TO},    {Change::SelfDeleted, IN_DELETE_SELF},
    {Change::SelfMoved, IN_MOVE_SELF}, {Change::Ignored, IN_IGNORED},
    {Change::Unmounted, IN_UNMOUNT},   {Change::Overflow, IN_Q_OVERFLOW},
};

quint32 maskOf(InotifyWatcher::Changes changes)
{
    quint32 mask = 0;
    for (const auto& known : kMasks)
        if (changes.testFlag(known.change))
            mask |= known.mask;
    return mask;
}

InotifyWatcher::Changes changesOf(quint32 mask)
{
    InotifyWatcher::Changes changes;
    for (const auto& known : kMasks)
        if (mask & known.mask)
            changes |= known.change;
    return changes;
}

} // namespace

InotifyWatcher::InotifyWatcher() : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

InotifyWatcher::~InotifyWatcher()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::optional<int> InotifyWatcher::add(const QByteArray& path, Changes changes)
{
    if (m_fd < 0)
        return std::nullopt;
    const int watch = inotify_add_watch(m_fd, path.constData(), maskOf(changes));
    return watch >= 0 ? std::optional<int>(watch) : std::nullopt;
}

void InotifyWatcher::remove(int watch)
{
    if (m_fd >= 0 && watch >= 0)
        inotify_rm_watch(m_fd, watch);
}

void InotifyWatcher::read(const std::function<void(const Event& event)>& visit)
{
    if (m_fd < 0)
        return;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
        if (got <= 0)
            return;
        for (ssize_t offset = 0; offset + ssize_t(sizeof(inotify_event)) <= got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            offset += ssize_t(sizeof(inotify_event)) + ssize_t(event->len);
            visit(
                {event->wd, changesOf(event->mask), event->len > 0 ? QByteArray(event->name) : QByteArray()});
        }
    }
}

#else

InotifyWatcher::InotifyWatcher() = default;
InotifyWatcher::~InotifyWatcher() = default;
std::optional<int> InotifyWatcher::add(const QByteArray&, Changes)
{
    return std::nullopt;
}
void InotifyWatcher::remove(int) {}
void InotifyWatcher::read(const std::function<void(const Event& event)>&) {}

#endif

} // namespace orvane
