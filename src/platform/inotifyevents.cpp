#include "platform/inotifyevents.h"

#include <unistd.h>

#ifdef __linux__
#include <sys/inotify.h>
#endif

namespace orvane {

void readInotifyEvents(int fd, const std::function<void(const inotify_event& event)>& visit)
{
#ifdef __linux__
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0)
            return;
        for (ssize_t offset = 0; offset + ssize_t(sizeof(inotify_event)) <= got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            offset += ssize_t(sizeof(inotify_event)) + ssize_t(event->len);
            visit(*event);
        }
    }
#else
    (void)fd;
    (void)visit;
#endif
}

} // namespace orvane
