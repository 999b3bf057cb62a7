#pragma once

#include "text/result.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

class QLocalServer;
class QLocalSocket;

namespace orvane {

// Local (Unix domain) sockets in the user's own runtime folder (platform/runtimefolder.h), the one home
// for both ends: the programs that hand something over on a blocking descriptor (the browser host,
// the display program) and the processes that listen (the bridge, the display process).

// A connected stream socket (a file descriptor, close-on-exec) to the local socket at path; a socket
// with nobody listening on it is refused at once, never waited for.
Result<int> connectLocalSocket(const QString& path);

// Writes all the bytes to a blocking descriptor (a local socket, a pipe), or says why it could not.
Result<> writeAll(int fd, const QByteArray& bytes);

// Reads one LF-ended line (without its LF) from a blocking descriptor, waiting at most waitMs for each
// piece (-1: as long as it takes); for command-line programs, never the GUI thread.
Result<QByteArray> readLineWithin(int fd, int waitMs, qsizetype maxLine);

// Listens on a local socket only the user can reach. A socket file left by a killed process (nobody
// answers on it) is replaced; one that answers belongs to a running process and is left alone.
Result<> listenUserOnly(QLocalServer& server, const QString& path);

// A small server on such a socket: it accepts every connection and reads its lines (each ended by a
// LF, at most maxLine bytes; a longer one closes that connection, said once as a warning naming the
// server). Each line goes to the handler as it arrives, in order; what the handler returns is written
// back on the same connection (nothing when it returns nothing). A peer that stays connected (a
// browser's host) is told apart by its connection: the one whose line the handler has, and the one
// whose end the closed handler is told of.
class LocalLineServer
{
public:
    using Handler = std::function<QByteArray(const QByteArray& line)>;
    using Connection = quintptr;
    using ClosedHandler = std::function<void(Connection connection)>;

    LocalLineServer(QString name, qint64 maxLine, Handler handler);
    ~LocalLineServer();
    LocalLineServer(const LocalLineServer&) = delete;
    LocalLineServer& operator=(const LocalLineServer&) = delete;

    Result<> listen(const QString& path);
    void close();
    // While the handler runs: the connection its line came on.
    Connection currentConnection() const { return m_current; }
    void setClosedHandler(ClosedHandler closed) { m_closed = std::move(closed); }

private:
    void onReadyRead(QLocalSocket* socket);

    QString m_name;
    qint64 m_maxLine;
    Handler m_handler;
    ClosedHandler m_closed;
    Connection m_current = 0;
    std::unique_ptr<QLocalServer> m_server;
};

} // namespace orvane
