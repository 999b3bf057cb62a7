#include "phone/modem.h"

#include "platform/serialport.h"

namespace orvane {

ModemDial dialModem(SerialPort& port, const QString& number)
{
    if (port.portOpen())
        return ModemDial::AlreadyOpen;
    if (!port.setPortOpen(true))
        return ModemDial::OpenFailed;
    if (!port.setOutput(u"ATDT" + number + u'\r')) {
        port.setPortOpen(false);
        return ModemDial::WriteFailed;
    }
    return ModemDial::Dialled;
}

} // namespace orvane
