#include "platform/texteditor.h"

namespace orvane {

Result<> openInTextEditor(ProgramLauncher& launcher, const QString& fileName)
{
    return launcher.startCommandLine(u"notepad.exe " + fileName, WindowStyle::NormalFocus);
}

} // namespace orvane
