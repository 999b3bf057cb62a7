#pragma once

#include <QString>
#include <optional>

namespace orvane {

class SerialPort;

// The caller-number device on the second serial port: what it received is collected, and each
// reception is acknowledged with one ACK byte between RTS pulses.

// Takes what the port received, waits the device's short turnaround and acknowledges: RTS off and on,
// ACK, RTS off and on. Returns the received text. RTS changes the line refuses are ignored.
QString receiveAndAcknowledge(SerialPort& port);

// The message for an event code of the port, nullopt for events that need none.
std::optional<QString> commEventMessage(int code);

// Title of the messages about the port's line errors.
QString commErrorTitle();

} // namespace orvane
