#include "platform/username.h"

#include "text/ansicodec.h"

#include <windows.h>

namespace orvane {

QString currentUserName()
{
    char buffer[256] = {};
    DWORD size = sizeof buffer;
    if (!GetUserNameA(buffer, &size))
        return {};
    return text::decodeAnsi(QByteArray(buffer)); // up to the first NUL
}

} // namespace orvane
