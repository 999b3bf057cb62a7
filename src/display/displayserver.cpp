#include "display/displayserver.h"

#include "display/displayhandover.h"
#include "platform/localserver.h"

#include <QLocalSocket>

namespace orvane::display {
namespace {

constexpr qint64 kMaxLine = 4096;

} // namespace

DisplayServer::DisplayServer(QObject* parent) : QObject(parent)
{
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
            onReadyRead(socket);
        }
    });
}

Result<> DisplayServer::listen(const QString& path)
{
    return listenUserOnly(m_server, path);
}

QString DisplayServer::readable(const QByteArray& line)
{
    QString text;
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0x5C)
            text += QChar(0xA5);
        else if (byte >= 0xA1 && byte <= 0xDF)
            text += QChar(0xFF61 + (byte - 0xA1));
        else
            text += QChar(char16_t(byte));
    }
    return text;
}

void DisplayServer::onReadyRead(QLocalSocket* socket)
{
    while (socket->canReadLine()) {
        const QByteArray line = socket->readLine(kMaxLine);
        if (line.trimmed() == "?") {
            const QString shown =
                m_reader ? m_reader() : readable(m_shown.upper) + u'|' + readable(m_shown.lower);
            socket->write(shown.toUtf8() + '\n');
            continue;
        }
        const Result<Handover> handover = handoverFromLine(line);
        if (!handover) {
            qWarning("orvane-display: %s", qPrintable(handover.error()));
            continue;
        }
        if (handover->stamp < m_stamp)
            continue; // a display program started before the one shown
        m_stamp = handover->stamp;
        m_shown = poleLines(handover->text);
        emit show(m_shown);
    }
    if (socket->bytesAvailable() > kMaxLine)
        socket->abort();
}

} // namespace orvane::display
