#pragma once

#include "platform/runtimefolder.h"
#include "text/result.h"

#include <QString>

namespace orvane {

// The local socket on which the bridge takes the commands of the browser extension's native host:
// $XDG_RUNTIME_DIR/orvane/bridge.sock, or /tmp/orvane-<uid>/bridge.sock where XDG_RUNTIME_DIR is
// unset. The folder is the user's alone (mode 0700): one that belongs to another user, or that others
// may enter, is refused.
//
// The socket's path, making its folder (0700) when asked to and it is missing.
Result<QString> bridgeSocket(CreateFolder create);

} // namespace orvane
