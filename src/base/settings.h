#pragma once

#include <QString>
#include <optional>

namespace orvane {

// Font size and print position (twips) of one footer line of the statement.
struct FooterLayout
{
    double size = 0;
    double x = 0;
    double y = 0;

    friend bool operator==(const FooterLayout&, const FooterLayout&) = default;
};

// Where the web system's commands come from (the cookiestore key): unset or empty, the cookie folder of
// wintype; "firefox", Firefox's cookie store; "extension", the browser extension.
enum class CookieStore { CookieFolder, Firefox, Extension };

// The values of sct.txt over the built-in defaults, one field per setting key. A text field is nullopt
// while neither a default nor the file gave it a value; it then reads as the empty text.
struct Settings
{
    std::optional<QString> name1, name2, addr, addr2, zip, tel;
    std::optional<QString> foot1, foot2, foot3, foot4, foot5;
    std::optional<QString> leftmrg;
    FooterLayout sizef1{15, 1800, 9400};
    FooterLayout sizef2{12, 1800, 9750};
    FooterLayout sizef3{11, 1800, 10050};
    FooterLayout sizef4{10, 1800, 10350};
    FooterLayout sizef5{20, 2500, 10550};
    // The integer 0 until the file sets it; afterwards the file's text.
    std::optional<QString> deci;
    std::optional<QString> dialurl = QStringLiteral("localhost");
    std::optional<QString> dialport;
    std::optional<QString> prgpath = QStringLiteral("/mivaweb/system");
    std::optional<QString> userno = QStringLiteral("1");
    std::optional<QString> passwd = QStringLiteral("tulipwax");
    std::optional<QString> dicmpath = QStringLiteral("z:\\");
    std::optional<QString> nodspport;
    std::optional<QString> modemport;
    std::optional<QString> wintype;
    // Only cookies of this host, or of a host below it, carry commands; unset, every cookie does.
    std::optional<QString> cookiehost;
    // The web system's command cookie: only a cookie of this name carries commands (in the cookie
    // folder, a file whose first cookie has it); unset, every cookie of the sites does.
    std::optional<QString> cookiename;
    // Any other value than those of CookieStore stops the start.
    CookieStore cookiestore = CookieStore::CookieFolder;
    // The Firefox profile (its Name in profiles.ini); unset, the profile Firefox starts with.
    std::optional<QString> firefoxprofile;
};

// An unset text field reads as the empty text.
inline QString textOf(const std::optional<QString>& field)
{
    return field.value_or(QString());
}

} // namespace orvane
