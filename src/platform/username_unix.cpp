#include "platform/username.h"

#include <pwd.h>
#include <unistd.h>

namespace orvane {

QString currentUserName()
{
    const passwd* entry = getpwuid(geteuid());
    if (!entry || !entry->pw_name)
        return {};
    return QString::fromLocal8Bit(entry->pw_name);
}

} // namespace orvane
