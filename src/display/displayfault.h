#pragma once

#include "base/devicestatus.h"

#include <QString>

namespace orvane::display {

// vfddisp's exit status for each kind of fault (0: shown; 2: a wrong command line).
enum class DisplayFault { NoConfig = 3, NoDevice = 4, PortHeld = 5, NotTakingText = 6, LcddUnreachable = 7 };

// The exit status that stands for a display program that could not be started at all.
inline constexpr int kDisplayNotStarted = -1;

// The display's state from how the display program ended and the last line it wrote to standard
// error (or, for kDisplayNotStarted, why it could not be started).
DeviceStatus displayStatus(int exitStatus, const QString& errorLine);

} // namespace orvane::display
