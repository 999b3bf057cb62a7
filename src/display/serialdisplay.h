#pragma once

#include "display/displayconfig.h"
#include "display/startstamp.h"
#include "platform/windowspath.h"
#include "text/result.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

namespace orvane::display {

// The device a port setting names: a path as it stands, COMn as the bridge resolves its serial ports
// (the prefix's dosdevices/comN, else /dev/ttyS(N-1)).
QString serialDevice(const QString& port, const WindowsPathMapper& mapper);

// Hands one text's bytes to a serial display and lets the port go again. The port is held exclusively
// (flock on the opened device, which every name of the port shares): a port held by another program
// (flock, Qt's lock file in /var/lock, TIOCEXCL) is waited for until lockDeadline. The text of a
// later-started display program already shown (stampFile, read and written while the port is held) is
// not overwritten: nothing is written then. A write that does not reach the line by writeDeadline
// fails. The error names the port and the cause.
Result<> showOnSerialDisplay(const DisplayConfig& config, const QString& device, const QByteArray& bytes,
                             const StartStamp& stamp, const QString& stampFile, QDeadlineTimer lockDeadline,
                             QDeadlineTimer writeDeadline);

} // namespace orvane::display
