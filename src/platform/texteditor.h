#pragma once

#include "platform/launcher.h"

namespace orvane {

// Opens a file of the working directory in the system's plain text editor, not waiting for it.
Result<> openInTextEditor(ProgramLauncher& launcher, const QString& fileName);

} // namespace orvane
