#pragma once

#include <QString>

namespace orvane {

class SerialPort;

enum class ModemDial {
    Dialled,     // the port was opened and the dial command sent
    AlreadyOpen, // a call is under way: nothing done
    OpenFailed,  // the port could not be opened; it stays closed
    WriteFailed, // the dial command could not be sent; the port was closed again
};

// Dials the number with the Hayes command "ATDT" + number + CR, sent in one write on the freshly
// opened port. Nothing happens while the port is open from an earlier dial.
ModemDial dialModem(SerialPort& port, const QString& number);

} // namespace orvane
