#pragma once

#include <QString>
#include <optional>

namespace orvane {

// The local socket on which the bridge takes the commands of the browser extension's native host:
// $XDG_RUNTIME_DIR/orvane/bridge.sock, or /tmp/orvane-<uid>/bridge.sock where XDG_RUNTIME_DIR is
// unset. The folder is the user's alone (mode 0700): one that belongs to another user, or that others
// may enter, is refused.
struct BridgeSocket
{
    std::optional<QString> path; // when the folder is safe
    QString error;               // why it is not
};

// The socket's path, making its folder (0700) when create is set and it is missing.
BridgeSocket bridgeSocket(bool create);

} // namespace orvane
