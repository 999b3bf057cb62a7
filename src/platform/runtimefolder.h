#pragma once

#include "text/result.h"

#include <QString>

namespace orvane {

enum class CreateFolder { No, Yes };

// The user's own folder for sockets and small state files: $XDG_RUNTIME_DIR/orvane, or
// /tmp/orvane-<uid> where XDG_RUNTIME_DIR is unset. It must be the user's alone (mode 0700): a folder
// that belongs to another user, or that others may enter, is refused. Made (0700) when asked to and it
// is missing.
Result<QString> userRuntimeFolder(CreateFolder create);

} // namespace orvane
