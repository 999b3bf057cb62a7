#pragma once

#include <QLoggingCategory>

// One category per subsystem; warnings show by default, debug output is off until enabled with
// QT_LOGGING_RULES (for example "orvane.*.debug=true").
Q_DECLARE_LOGGING_CATEGORY(lcApp)
Q_DECLARE_LOGGING_CATEGORY(lcSerial)
Q_DECLARE_LOGGING_CATEGORY(lcNet)
Q_DECLARE_LOGGING_CATEGORY(lcChannel)
Q_DECLARE_LOGGING_CATEGORY(lcDisplay)
Q_DECLARE_LOGGING_CATEGORY(lcPrint)
Q_DECLARE_LOGGING_CATEGORY(lcPhone)
Q_DECLARE_LOGGING_CATEGORY(lcTotals)
// The devices' state changes: a problem and its mending, logged at info and above.
Q_DECLARE_LOGGING_CATEGORY(lcStatus)
