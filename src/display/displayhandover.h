#pragma once

#include "display/startstamp.h"
#include "text/result.h"

#include <QByteArray>
#include <optional>

namespace orvane::display {

// The display programs' line to the long-lived display process (the on-screen window, the LCDd
// client): one text a line, "TICKS PID BASE64-OF-THE-CP932-BYTES", on the user's socket
// <runtime folder>/vfddisp.sock, each answered by one line: "ok" when it reaches the customer, else
// "fault " and why not (LCDd cannot be reached). "?" asks for the two lines shown, answered as one line
// of UTF-8: "UPPER|LOWER".
QByteArray handoverLine(const StartStamp& stamp, const QByteArray& text);
// The answer line to a text: "ok", or "fault WHY" for a non-empty fault.
QByteArray handoverAnswer(const QString& fault);
// The fault an answer line names: empty for "ok"; the line itself when it is neither.
QString faultOfAnswer(const QByteArray& answer);

struct Handover
{
    StartStamp stamp;
    QByteArray text;
};
Result<Handover> handoverFromLine(const QByteArray& line);

} // namespace orvane::display
