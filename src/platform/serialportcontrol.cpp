#include "platform/serialportcontrol.h"

#include "base/logging.h"
#include "text/ansicodec.h"

#include <QStringList>

#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif
#ifdef Q_OS_UNIX
#include <termios.h>
#endif

namespace orvane {
namespace {

struct LineSettings
{
    qint32 baud = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

std::optional<LineSettings> parseLineSettings(const QString& text)
{
    const QStringList parts = text.split(u',');
    if (parts.size() != 4)
        return std::nullopt;
    LineSettings line;
    bool ok = false;
    line.baud = parts[0].trimmed().toInt(&ok);
    if (!ok || line.baud <= 0)
        return std::nullopt;
    const QString parity = parts[1].trimmed().toLower();
    if (parity == u"n")
        line.parity = QSerialPort::NoParity;
    else if (parity == u"e")
        line.parity = QSerialPort::EvenParity;
    else if (parity == u"o")
        line.parity = QSerialPort::OddParity;
    else if (parity == u"m")
        line.parity = QSerialPort::MarkParity;
    else if (parity == u"s")
        line.parity = QSerialPort::SpaceParity;
    else
        return std::nullopt;
    const int bits = parts[2].trimmed().toInt(&ok);
    if (!ok || bits < 5 || bits > 8)
        return std::nullopt;
    line.dataBits = static_cast<QSerialPort::DataBits>(bits);
    const QString stop = parts[3].trimmed();
    if (stop == u"1")
        line.stopBits = QSerialPort::OneStop;
    else if (stop == u"1.5")
        line.stopBits = QSerialPort::OneAndHalfStop;
    else if (stop == u"2")
        line.stopBits = QSerialPort::TwoStop;
    else
        return std::nullopt;
    return line;
}

} // namespace

SerialPortControl::SerialPortControl(WindowsPathMapper mapper, QObject* parent)
    : SerialPort(parent), m_mapper(std::move(mapper))
{
    m_reopenTimer.setInterval(kReopenIntervalMs);
    connect(&m_reopenTimer, &QTimer::timeout, this, [this] {
        if (!m_wantOpen || m_port.isOpen()) {
            m_reopenTimer.stop();
            return;
        }
        if (openDevice()) {
            qCWarning(lcSerial) << "port" << deviceName() << "is back";
            m_reopenTimer.stop();
            emit deviceBack();
        }
    });
    connect(&m_port, &QSerialPort::readyRead, this, &SerialPortControl::onReadyRead);
    connect(&m_port, &QSerialPort::bytesWritten, this, &SerialPortControl::onBytesWritten);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialPortControl::onError);
}

SerialPortControl::~SerialPortControl()
{
    m_port.disconnect(this);
    if (m_port.isOpen())
        m_port.close();
}

bool SerialPortControl::setCommPort(int port)
{
    if (port < 1 || port > 255) {
        m_errorString = QStringLiteral("ポート番号 %1 は使えません (1〜255)").arg(port);
        return false;
    }
    m_commPort = port;
    return true;
}

QString SerialPortControl::deviceName() const
{
    return m_mapper.serialDevice(m_commPort);
}

bool SerialPortControl::setSettings(const QString& settings)
{
    if (!parseLineSettings(settings)) {
        m_errorString = QStringLiteral("通信設定 %1 が正しくありません").arg(settings);
        return false;
    }
    m_settings = settings;
    if (m_port.isOpen())
        applyLineSettings();
    return true;
}

void SerialPortControl::setHandshaking(int handshaking)
{
    m_handshaking = handshaking;
    if (m_port.isOpen())
        applyLineSettings();
}

void SerialPortControl::setRTSEnable(bool enable)
{
    m_rtsEnable = enable;
    if (m_port.isOpen() && m_handshaking == 0 && !m_port.setRequestToSend(enable))
        qCDebug(lcSerial) << "RTS not changed on" << m_port.portName() << ":" << m_port.errorString();
}

void SerialPortControl::applyLineSettings()
{
    const std::optional<LineSettings> line = parseLineSettings(m_settings);
    if (!line)
        return;
    const auto warnIf = [this](bool ok, const char* what) {
        if (!ok)
            qCWarning(lcSerial) << "device" << m_port.portName() << "refused" << what << ":"
                                << m_port.errorString();
    };
    warnIf(m_port.setBaudRate(line->baud), "the baud rate");
    warnIf(m_port.setDataBits(line->dataBits), "the data bits");
    warnIf(m_port.setParity(line->parity), "the parity");
    warnIf(m_port.setStopBits(line->stopBits), "the stop bits");
    const QSerialPort::FlowControl flow = m_handshaking == 1   ? QSerialPort::SoftwareControl
                                          : m_handshaking >= 2 ? QSerialPort::HardwareControl
                                                               : QSerialPort::NoFlowControl;
    warnIf(m_port.setFlowControl(flow), "the flow control");
    m_port.clearError();
}

bool SerialPortControl::openDevice()
{
    m_port.setPortName(deviceName());
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_errorString = m_port.errorString();
        m_deviceMissing = m_port.error() == QSerialPort::DeviceNotFoundError;
        m_port.clearError();
        return false;
    }
    m_deviceMissing = false;
    m_decoder.reset();
    applyLineSettings();
    ignoreBreaks();
    if (m_handshaking == 0 && !m_port.setRequestToSend(m_rtsEnable))
        qCDebug(lcSerial) << "RTS not set on" << m_port.portName() << ":" << m_port.errorString();
    m_port.clearError();
    m_haveCounters = readErrorCounters(&m_counters);
    return true;
}

bool SerialPortControl::setPortOpen(bool open)
{
    if (!open) {
        m_wantOpen = false;
        m_reopenTimer.stop();
        if (m_port.isOpen())
            m_port.close();
        return true;
    }
    if (m_port.isOpen())
        return true;
    if (!openDevice())
        return false;
    m_wantOpen = true;
    return true;
}

void SerialPortControl::openWhenAvailable()
{
    m_wantOpen = true;
    if (!m_port.isOpen())
        m_reopenTimer.start();
}

bool SerialPortControl::setOutput(const QString& text)
{
    if (!m_port.isOpen()) {
        m_errorString = QStringLiteral("ポート %1 が開いていません").arg(deviceName());
        return false;
    }
    const QByteArray bytes = text::encodeAnsi(text);
    if (m_port.write(bytes) != bytes.size()) {
        m_errorString = m_port.errorString();
        return false;
    }
    // Out now, not at the next turn of the event loop: the caller-number device wants its ACK
    // between two RTS pulses.
    m_port.flush();
    return true;
}

QString SerialPortControl::input()
{
    if (!m_port.isOpen())
        return {};
    return m_decoder.decode(m_port.readAll());
}

void SerialPortControl::ignoreBreaks()
{
#ifdef Q_OS_UNIX
    // A break is reported through the error counters; read as a NUL byte it would shift the received
    // text.
    termios attributes{};
    if (tcgetattr(m_port.handle(), &attributes) != 0)
        return;
    attributes.c_iflag |= IGNBRK;
    attributes.c_iflag &= ~BRKINT;
    if (tcsetattr(m_port.handle(), TCSANOW, &attributes) != 0)
        qCDebug(lcSerial) << "breaks not ignored on" << m_port.portName();
#endif
}

void SerialPortControl::raise(int code)
{
    m_commEvent = code;
    emit OnComm();
}

bool SerialPortControl::readErrorCounters(ErrorCounters* counters)
{
#ifdef Q_OS_LINUX
    serial_icounter_struct icount{};
    if (ioctl(m_port.handle(), TIOCGICOUNT, &icount) != 0)
        return false; // a pty or a driver without counters
    *counters = {icount.frame, icount.overrun, icount.parity, icount.brk, icount.buf_overrun};
    return true;
#else
    Q_UNUSED(counters);
    return false;
#endif
}

void SerialPortControl::checkLineErrors()
{
    if (!m_haveCounters)
        return;
    ErrorCounters now;
    if (!readErrorCounters(&now))
        return;
    const ErrorCounters before = m_counters;
    m_counters = now;
    if (now.brk != before.brk)
        raise(comm::kErBreak);
    if (now.frame != before.frame)
        raise(comm::kErFrame);
    if (now.overrun != before.overrun)
        raise(comm::kErOverrun);
    if (now.bufferOverrun != before.bufferOverrun)
        raise(comm::kErRxOver);
    if (now.parity != before.parity)
        raise(comm::kErRxParity);
}

void SerialPortControl::onReadyRead()
{
    checkLineErrors();
    if (m_rThreshold > 0 && m_port.isOpen() && m_port.bytesAvailable() >= m_rThreshold)
        raise(comm::kEvReceive);
}

void SerialPortControl::onBytesWritten()
{
    if (m_sThreshold > 0 && m_port.bytesToWrite() < m_sThreshold)
        raise(comm::kEvSend);
}

void SerialPortControl::onError(QSerialPort::SerialPortError error)
{
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError)
        return;
    if (!m_port.isOpen())
        return;
    // A vanished device reports read errors without end: close at once, report once, wait for it.
    m_errorString = m_port.errorString();
    qCWarning(lcSerial) << "device" << m_port.portName() << "lost:" << m_errorString;
    m_port.close();
    m_port.clearError();
    if (m_wantOpen)
        m_reopenTimer.start();
    raise(comm::kErDeviceLost);
}

} // namespace orvane
