#include "channel/statussocket.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>

#include <unistd.h>

namespace orvane {

Result<QString> statusSocket(const QString& workingFolder, CreateFolder create)
{
    const QString folder = QFileInfo(workingFolder).canonicalFilePath();
    const QByteArray key =
        QCryptographicHash::hash(QFile::encodeName(folder.isEmpty() ? workingFolder : folder),
                                 QCryptographicHash::Sha256)
            .toHex()
            .left(16);
    return userRuntimeFolder(create).transform([&](const QString& runtime) {
        return QDir(runtime).filePath(QStringLiteral("status-%1.sock").arg(QString::fromLatin1(key)));
    });
}

StatusServer::StatusServer(const DeskStatus& status)
    : m_status(status),
      m_server(QStringLiteral("the status socket"), 64, [this](const QByteArray& line) -> QByteArray {
          if (line.trimmed() != "status")
              return QByteArray("{}\n");
          return QJsonDocument(m_status.toJson()).toJson(QJsonDocument::Compact) + '\n';
      })
{
}

Result<QJsonObject> askStatus(const QString& path)
{
    const Result<int> fd = connectLocalSocket(path);
    if (!fd)
        return fail(fd.error());
    const auto closeIt = qScopeGuard([&] { ::close(*fd); });
    if (Result<> asked = writeAll(*fd, "status\n"); !asked)
        return fail(asked.error());
    const Result<QByteArray> reply = readLineWithin(*fd, 2000, 4 << 20);
    if (!reply)
        return fail(QStringLiteral("the bridge: ") + reply.error());
    QJsonParseError error{};
    const QJsonDocument report = QJsonDocument::fromJson(*reply, &error);
    if (!report.isObject())
        return fail(QStringLiteral("the bridge's answer is not a report: %1").arg(error.errorString()));
    return report.object();
}

} // namespace orvane
