#pragma once

#include "base/settings.h"

#include <QString>
#include <optional>

namespace orvane {

// The request that asks the web system's server once a second whether a call is to be placed from
// this desk, reporting the caller number the device announced: characters 11 to 30 of its collected
// text, without blanks around them. No protocol version and no headers: the server answers with the
// bare reply. The values go in as they stand, unescaped, as the server expects them.
QString dialCheckRequest(const Settings& settings, const QString& inputData);

// The one request with which the desk registers itself with the same server at start-up.
QString registrationRequest(const Settings& settings);

// What the poll does with the reply now in the number box: a text that differs from the last reply
// acted on and holds a "/" names the number before the "/" and becomes the last reply; a number that
// begins with "0" is to be dialled.
std::optional<QString> numberToDial(const QString& reply, QString& lastDialText);

} // namespace orvane
