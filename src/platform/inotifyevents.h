#pragma once

#include <functional>

struct inotify_event;

namespace orvane {

// Reads every event that waits on a non-blocking inotify descriptor, in order.
void readInotifyEvents(int fd, const std::function<void(const inotify_event& event)>& visit);

} // namespace orvane
