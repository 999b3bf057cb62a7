#include "channel/commandsource.h"

#include "base/logging.h"

namespace orvane {

void CommandSource::warn(const QString& text)
{
    qCWarning(lcChannel).noquote() << text;
    emit warning(text);
}

} // namespace orvane
