#include "browser/bridgesocket.h"

#include "platform/runtimefolder.h"

#include <QDir>

namespace orvane {

Result<QString> bridgeSocket(CreateFolder create)
{
    const Result<QString> folder = userRuntimeFolder(create);
    if (!folder)
        return fail(folder.error());
    return QDir(*folder).filePath(QStringLiteral("bridge.sock"));
}

} // namespace orvane
