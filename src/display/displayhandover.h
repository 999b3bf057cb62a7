#pragma once

#include "display/startstamp.h"
#include "text/result.h"

#include <QByteArray>
#include <optional>

namespace orvane::display {

// The display programs' line to the long-lived display process (the on-screen window, the LCDd
// client): one text a line, "TICKS PID BASE64-OF-THE-CP932-BYTES", on the user's socket
// <runtime folder>/vfddisp.sock. "?" asks for the two lines shown, answered as one line of UTF-8:
// "UPPER|LOWER".
QByteArray handoverLine(const StartStamp& stamp, const QByteArray& text);

struct Handover
{
    StartStamp stamp;
    QByteArray text;
};
Result<Handover> handoverFromLine(const QByteArray& line);

} // namespace orvane::display
