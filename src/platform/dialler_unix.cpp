#include "platform/dialler.h"

namespace orvane {

Result<> TelephonyDialler::dial(const QString& number)
{
    return m_launcher.startProgram(QStringLiteral("xdg-open"), {u"tel:" + number});
}

} // namespace orvane
