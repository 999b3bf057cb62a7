#include "platform/localserver.h"

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

} // namespace orvane
