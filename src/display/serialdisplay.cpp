#include "display/serialdisplay.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSerialPort>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>

namespace orvane::display {
namespace {

constexpr int kRetryMs = 10;

std::optional<StartStamp> shownStamp(const QString& stampFile)
{
    QFile file(stampFile);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return StartStamp::fromText(file.read(64));
}

// Bytes the driver still holds for the line (flow control held, a device that stops reading).
int pendingOutput(int fd)
{
    int pending = 0;
    return ::ioctl(fd, TIOCOUTQ, &pending) == 0 ? pending : 0;
}

} // namespace

QString serialDevice(const QString& port, const WindowsPathMapper& mapper)
{
    static const QRegularExpression com(QStringLiteral("^COM(\\d+)$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = com.match(port);
    return match.hasMatch() ? mapper.serialDevice(match.captured(1).toInt()) : port;
}

Result<> showOnSerialDisplay(const DisplayConfig& config, const QString& device, const QByteArray& bytes,
                             const StartStamp& stamp, const QString& stampFile, QDeadlineTimer lockDeadline,
                             QDeadlineTimer writeDeadline)
{
    QSerialPort port;
    port.setPortName(device);
    QString busy;
    for (;;) {
        if (!QFileInfo::exists(device))
            return fail(QStringLiteral("%1: no such device").arg(device));
        if (port.open(QIODevice::ReadWrite)) {
            if (::flock(int(port.handle()), LOCK_EX | LOCK_NB) == 0)
                break;
            busy = QStringLiteral("held by another program");
            port.close();
        } else if (port.error() == QSerialPort::DeviceNotFoundError) {
            return fail(QStringLiteral("%1: %2").arg(device, port.errorString()));
        } else {
            busy = port.errorString(); // a lock file, TIOCEXCL, or no permission
        }
        if (lockDeadline.hasExpired())
            return fail(QStringLiteral("%1: %2").arg(device, busy));
        QThread::msleep(kRetryMs);
    }

    // A pty takes fewer settings than a real line; what the device refuses is said, not fatal.
    if (!port.setBaudRate(config.speed) || !port.setDataBits(config.dataBits) ||
        !port.setParity(config.parity) || !port.setStopBits(config.stopBits) ||
        !port.setFlowControl(config.flowControl))
        qWarning("vfddisp: %s refuses a line setting: %s", qPrintable(device),
                 qPrintable(port.errorString()));

    if (const std::optional<StartStamp> shown = shownStamp(stampFile); shown && *shown > stamp)
        return {}; // a display program started after this one has shown its text

    const int fd = int(port.handle());
    // Giving up, what is still queued goes: no half text reaches the display later, and the close does
    // not wait for it (a serial tty's close waits up to its closing wait, 30 s, for queued output).
    const auto giveUp = [&](const QString& why) {
        ::tcflush(fd, TCOFLUSH);
        return fail(QStringLiteral("%1: %2").arg(device, why));
    };
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n > 0) {
            written += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return giveUp(QString::fromLocal8Bit(strerror(errno)));
        if (writeDeadline.hasExpired())
            return giveUp(QStringLiteral("the display does not take the text"));
        QThread::msleep(1);
    }
    // The driver's buffer empties within the deadline, or the display does not read; then tcdrain waits
    // for the UART's or the USB adapter's own buffer, which the drivers bound themselves.
    while (pendingOutput(fd) > 0) {
        if (writeDeadline.hasExpired())
            return giveUp(QStringLiteral("the display does not take the text"));
        QThread::msleep(1);
    }
    ::tcdrain(fd);
    // The text is shown; without its stamp an older display program that comes late could still
    // overwrite it: said, not fatal.
    QSaveFile record(stampFile);
    if (!record.open(QIODevice::WriteOnly) || record.write(stamp.toText() + '\n') < 0 || !record.commit())
        qWarning("vfddisp: %s: %s; a text that arrives late may replace this one", qPrintable(stampFile),
                 qPrintable(record.errorString()));
    // The port stays at the display's settings: QSerialPort puts the earlier ones back as it closes, so
    // they are set again through a second descriptor once it has (nothing is in flight any more).
    termios configured{};
    const int keep = ::tcgetattr(fd, &configured) == 0 ? ::fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1;
    port.close();
    if (keep >= 0) {
        ::tcsetattr(keep, TCSANOW, &configured);
        ::close(keep);
    }
    return {};
}

} // namespace orvane::display
