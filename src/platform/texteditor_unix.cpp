#include "platform/texteditor.h"

namespace orvane {

Result<> openInTextEditor(ProgramLauncher& launcher, const QString& fileName)
{
    return launcher.startProgram(QStringLiteral("xdg-open"), {fileName});
}

} // namespace orvane
