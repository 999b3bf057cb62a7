#include "phone/dialcheck.h"

#include "text/legacytext.h"
#include "text/rounding.h"

namespace orvane {

QString dialCheckRequest(const Settings& settings, const QString& inputData)
{
    return u"GET " + textOf(settings.prgpath) + u"/dialcheck.php?userno=" + textOf(settings.userno) +
           u"&passwd=" + textOf(settings.passwd) + u"&telcall=" +
           text::trimBlanks(text::mid(inputData, 11, 20)) + u"\r\n\r\n";
}

QString registrationRequest(const Settings& settings)
{
    return u"GET " + textOf(settings.prgpath) + u"/ipset.php?id=" + textOf(settings.userno) + u"&passwd=" +
           textOf(settings.passwd) + u"\r\n\r\n";
}

std::optional<QString> numberToDial(const QString& reply, QString& lastDialText)
{
    if (reply == lastDialText)
        return std::nullopt;
    const qsizetype slash = reply.indexOf(u'/');
    if (slash < 0)
        return std::nullopt;
    lastDialText = reply;
    const QString number = reply.left(slash);
    if (!number.startsWith(u'0'))
        return std::nullopt;
    return number;
}

} // namespace orvane
