#pragma once

#include "text/result.h"

#include <QString>

class QLocalServer;

namespace orvane {

// Listens on a local socket only the user can reach. A socket file left by a killed process (nobody
// answers on it) is replaced; one that answers belongs to a running process and is left alone.
Result<> listenUserOnly(QLocalServer& server, const QString& path);

} // namespace orvane
