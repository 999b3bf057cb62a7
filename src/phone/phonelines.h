#pragma once

#include "base/settings.h"

#include "text/result.h"

#include <QString>

namespace orvane {

class SerialPort;

// The modem's line: the port of the modemport setting at "9600,n,8,1". Fails with the start-up
// error when the setting names no port.
Result<> setUpModemLine(SerialPort& port, const Settings& settings);

// The caller-number device's line: the port of the nodspport setting at "9600,E,7,1", no handshaking,
// RTS off, an event for every byte received and sent. Fails with the start-up error when the
// setting names no port.
Result<> setUpCallerNumberLine(SerialPort& port, const Settings& settings);

} // namespace orvane
