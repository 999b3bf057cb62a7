#pragma once

#include "platform/serialport.h"
#include "platform/windowspath.h"
#include "text/incomingdecoder.h"

#include <QSerialPort>
#include <QTimer>

namespace orvane {

// SerialPort over QSerialPort. Line settings the device refuses (a pty refuses 7 data bits and even
// parity) and RTS changes it cannot make are warnings, not failures. Line errors are read from the
// driver's error counters where the device keeps them. When the device disappears the port is closed
// at once, one kErDeviceLost event is raised, and it is reopened as soon as the device is back.
class SerialPortControl final : public SerialPort
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SerialPortControl)

public:
    static constexpr int kReopenIntervalMs = 3000;

    explicit SerialPortControl(WindowsPathMapper mapper, QObject* parent = nullptr);
    ~SerialPortControl() override;

    bool setCommPort(int port) override;
    int commPort() const override { return m_commPort; }
    bool setSettings(const QString& settings) override;
    QString settings() const override { return m_settings; }
    void setHandshaking(int handshaking) override;
    void setRTSEnable(bool enable) override;
    void setRThreshold(int threshold) override { m_rThreshold = threshold; }
    void setSThreshold(int threshold) override { m_sThreshold = threshold; }
    bool setPortOpen(bool open) override;
    bool portOpen() const override { return m_wantOpen; }
    void openWhenAvailable() override;
    QString errorString() const override { return m_errorString; }
    bool deviceMissing() const override { return m_deviceMissing; }
    bool setOutput(const QString& text) override;
    QString input() override;
    int commEvent() const override { return m_commEvent; }

    // The device the port number maps to.
    QString deviceName() const;
    // True while the port is wanted open but its device is away.
    bool waitingForDevice() const { return m_wantOpen && !m_port.isOpen(); }

    void setReopenInterval(int ms) { m_reopenTimer.setInterval(ms); }

private:
    bool openDevice();
    void applyLineSettings();
    void ignoreBreaks();
    void onReadyRead();
    void onBytesWritten();
    void onError(QSerialPort::SerialPortError error);
    void raise(int code);
    void checkLineErrors();

    struct ErrorCounters
    {
        int frame = 0, overrun = 0, parity = 0, brk = 0, bufferOverrun = 0;
    };
    bool readErrorCounters(ErrorCounters* counters);

    WindowsPathMapper m_mapper;
    QSerialPort m_port;
    QTimer m_reopenTimer;
    int m_commPort = 1;
    QString m_settings = QStringLiteral("9600,n,8,1");
    int m_handshaking = 0;
    bool m_rtsEnable = false;
    int m_rThreshold = 0;
    int m_sThreshold = 0;
    bool m_wantOpen = false;
    int m_commEvent = 0;
    QString m_errorString;
    bool m_deviceMissing = false;
    ErrorCounters m_counters;
    text::IncomingDecoder m_decoder; // what the device sends since the port was opened
    bool m_haveCounters = false;
};

} // namespace orvane
