#include "channel/linkedfiles.h"

#include <sys/stat.h>

namespace orvane {

void LinkedFiles::note(const QByteArray& name, quint64 links, qint64 seconds)
{
    if (links > 1)
        m_files.insert(name, seconds);
    else
        m_files.remove(name);
}

bool LinkedFiles::changedIn(const QByteArray& folder) const
{
    for (auto it = m_files.cbegin(); it != m_files.cend(); ++it) {
        struct stat info;
        const QByteArray path = folder + '/' + it.key();
        if (stat(path.constData(), &info) != 0 || qint64(info.st_mtim.tv_sec) != it.value())
            return true;
    }
    return false;
}

} // namespace orvane
