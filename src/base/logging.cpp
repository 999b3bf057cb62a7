#include "base/logging.h"

Q_LOGGING_CATEGORY(lcApp, "orvane.app", QtWarningMsg)
Q_LOGGING_CATEGORY(lcSerial, "orvane.serial", QtWarningMsg)
Q_LOGGING_CATEGORY(lcNet, "orvane.net", QtWarningMsg)
Q_LOGGING_CATEGORY(lcChannel, "orvane.channel", QtWarningMsg)
Q_LOGGING_CATEGORY(lcDisplay, "orvane.display", QtWarningMsg)
Q_LOGGING_CATEGORY(lcPrint, "orvane.print", QtWarningMsg)
Q_LOGGING_CATEGORY(lcPhone, "orvane.phone", QtWarningMsg)
Q_LOGGING_CATEGORY(lcTotals, "orvane.totals", QtWarningMsg)
Q_LOGGING_CATEGORY(lcStatus, "orvane.status", QtInfoMsg)
