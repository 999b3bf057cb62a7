#include "platform/dialler.h"

namespace orvane {

LaunchResult TelephonyDialler::dial(const QString& number)
{
    return m_launcher.startProgram(QStringLiteral("xdg-open"), {u"tel:" + number});
}

} // namespace orvane
