#pragma once

#include "text/result.h"

#include <QString>

namespace orvane {

// The local socket on which the bridge takes the commands of the browser extension's native host:
// $XDG_RUNTIME_DIR/orvane/bridge.sock, or /tmp/orvane-<uid>/bridge.sock where XDG_RUNTIME_DIR is
// unset. The folder is the user's alone (mode 0700): one that belongs to another user, or that others
// may enter, is refused.
//
// The socket's path, making its folder (0700) when create is set and it is missing.
Result<QString> bridgeSocket(bool create);

// A connected stream socket (a file descriptor, close-on-exec) to the local socket at path; a socket
// with nobody listening on it is refused at once, never waited for.
Result<int> connectLocalSocket(const QString& path);

// Writes all the bytes to a blocking descriptor (a local socket, a pipe), or says why it could not.
Result<> writeAll(int fd, const QByteArray& bytes);

} // namespace orvane
