#pragma once

#include "channel/deskstatus.h"
#include "platform/localsocket.h"
#include "platform/runtimefolder.h"
#include "text/result.h"

#include <QJsonObject>
#include <QString>

namespace orvane {

// The local socket on which the bridge running for a working folder answers orvane --status: in the
// user's runtime folder (only the user can reach it), named after the folder, so that two desks' bridges
// of one user each have their own.
Result<QString> statusSocket(const QString& workingFolder, CreateFolder create);

// The bridge's side: each line "status" is answered with the report as one JSON line.
class StatusServer
{
public:
    explicit StatusServer(const DeskStatus& status);
    Result<> listen(const QString& path) { return m_server.listen(path); }

private:
    const DeskStatus& m_status;
    LocalLineServer m_server;
};

// orvane --status's side: the report of the bridge at path, or why there is none (no bridge running
// for that folder, or one that did not answer within two seconds). Blocking: for the command line only.
Result<QJsonObject> askStatus(const QString& path);

} // namespace orvane
