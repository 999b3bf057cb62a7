#include "channel/cookiefolder.h"

namespace orvane {

CookieFolder cookieFolder(const QString& wintype, const QString& userName)
{
    const QString txt = QStringLiteral("*.txt");
    if (wintype == u"1")
        return {u"C:\\Users\\" + userName + u"\\AppData\\Roaming\\Microsoft\\Windows\\Cookies\\", txt};
    if (wintype == u"2")
        return {u"C:\\Documents and Settings\\" + userName + u"\\Cookies\\Low\\", txt};
    if (wintype == u"3")
        return {u"C:\\Users\\" + userName + u"\\AppData\\Local\\Microsoft\\Windows\\INetCookies\\Low\\", txt};
    if (wintype == u"4")
        return {u"C:\\Users\\" + userName + u"\\AppData\\Roaming\\Microsoft\\Windows\\Cookies\\Low\\", txt};
    if (wintype == u"5")
        return {u"C:\\Documents and Settings\\" + userName + u"\\Cookies\\Low\\", QStringLiteral("*.cookie")};
    return {u"c:\\Documents and Settings\\" + userName + u"\\Cookies\\", txt};
}

} // namespace orvane
