// The listening half of platform/localsocket.h (QtNetwork): the small programs that only connect do
// not load it.
#include "platform/localsocket.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>

namespace orvane {

Result<> listenUserOnly(QLocalServer& server, const QString& path)
{
    server.setSocketOptions(QLocalServer::UserAccessOption);
    if (server.listen(path))
        return {};
    if (QFile::exists(path)) {
        QLocalSocket probe;
        probe.connectToServer(path);
        if (!probe.waitForConnected(100)) {
            QLocalServer::removeServer(path);
            if (server.listen(path))
                return {};
        }
    }
    return fail(QStringLiteral("%1 で待ち受けできません: %2").arg(path, server.errorString()));
}

LocalLineServer::LocalLineServer(QString name, qint64 maxLine, Handler handler)
    : m_name(std::move(name)), m_maxLine(maxLine), m_handler(std::move(handler)),
      m_server(std::make_unique<QLocalServer>())
{
    QObject::connect(m_server.get(), &QLocalServer::newConnection, m_server.get(), [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, [this, socket] {
                if (m_closed)
                    m_closed(Connection(socket));
                socket->deleteLater();
            });
            QObject::connect(socket, &QLocalSocket::readyRead, socket,
                             [this, socket] { onReadyRead(socket); });
            onReadyRead(socket);
        }
    });
}

LocalLineServer::~LocalLineServer()
{
    m_closed = nullptr; // the connections closing with the server are no peer going away
}

Result<> LocalLineServer::listen(const QString& path)
{
    return listenUserOnly(*m_server, path);
}

void LocalLineServer::close()
{
    m_server->close();
}

void LocalLineServer::onReadyRead(QLocalSocket* socket)
{
    // A line ends within maxLine bytes, or the connection goes: nothing of an overlong one is read as a
    // line of its own.
    while (socket->canReadLine() &&
           socket->peek(qMin(socket->bytesAvailable(), m_maxLine + 1)).contains('\n')) {
        m_current = Connection(socket);
        const QByteArray answer = m_handler(socket->readLine());
        m_current = 0;
        if (!answer.isEmpty())
            socket->write(answer);
    }
    if (socket->bytesAvailable() > m_maxLine) {
        qWarning("%s: a line of more than %lld bytes; connection closed", qPrintable(m_name),
                 static_cast<long long>(m_maxLine));
        socket->abort();
    }
}

} // namespace orvane
