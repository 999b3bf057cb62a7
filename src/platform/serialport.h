#pragma once

#include <QObject>
#include <QString>

namespace orvane {

// Event codes of a serial port, as its OnComm signal reports them in commEvent().
namespace comm {
constexpr int kEvSend = 1;    // the send buffer drained below the send threshold
constexpr int kEvReceive = 2; // data received
constexpr int kEvCts = 3;
constexpr int kEvDsr = 4;
constexpr int kEvCd = 5;
constexpr int kEvRing = 6;
constexpr int kEvEof = 7;
constexpr int kErBreak = 1001;
constexpr int kErCtsTimeout = 1002;
constexpr int kErDsrTimeout = 1003;
constexpr int kErFrame = 1004;
constexpr int kErOverrun = 1006;
constexpr int kErCdTimeout = 1007;
constexpr int kErRxOver = 1008;
constexpr int kErRxParity = 1009;
constexpr int kErTxFull = 1010;
constexpr int kErDcb = 1011;
// The device went away (unplugged, driver gone); the port is closed and reopened once it is back.
constexpr int kErDeviceLost = 1012;
} // namespace comm

// A serial port with the members the desk's devices are driven through. Events arrive on the GUI
// thread as OnComm, with the code in commEvent().
class SerialPort : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Port number N (COMN); false when the number cannot name a port.
    virtual bool setCommPort(int port) = 0;
    virtual int commPort() const = 0;
    // Line settings "baud,parity,data bits,stop bits" such as "9600,E,7,1"; false when malformed.
    virtual bool setSettings(const QString& settings) = 0;
    virtual QString settings() const = 0;
    virtual void setHandshaking(int handshaking) = 0;
    virtual void setRTSEnable(bool enable) = 0;
    virtual void setRThreshold(int threshold) = 0;
    virtual void setSThreshold(int threshold) = 0;
    // Opens or closes the port; false when it cannot be opened (errorString() says why).
    virtual bool setPortOpen(bool open) = 0;
    virtual bool portOpen() const = 0;
    // Marks the port as wanted open although its device is not there now: it opens as soon as the
    // device appears.
    virtual void openWhenAvailable() = 0;
    virtual QString errorString() const = 0;
    // After a failed open: true when the port's device does not exist (as opposed to one that is busy
    // or refused).
    virtual bool deviceMissing() const = 0;
    // Sends the text's ANSI bytes in one write, handed to the device at once; false when the port is
    // not writable.
    virtual bool setOutput(const QString& text) = 0;
    // Everything received so far, removed from the receive buffer.
    virtual QString input() = 0;
    virtual int commEvent() const = 0;

signals:
    void OnComm();
    // A port wanted open whose device was missing or lost has opened: the device is back.
    void deviceBack();
};

} // namespace orvane
