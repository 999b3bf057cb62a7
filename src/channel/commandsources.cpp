#include "channel/commandsources.h"

#include "channel/cookiefoldersource.h"
#include "channel/extensionsource.h"
#include "channel/firefoxcookiestore.h"

#include <QDir>

namespace orvane {

std::unique_ptr<CommandSource> makeCommandSource(const Settings& settings, const QString& userName,
                                                 const WindowsPathMapper& mapper,
                                                 std::function<qint64()> clock)
{
    switch (settings.cookiestore) {
    case CookieStore::Firefox:
        return std::make_unique<FirefoxCookieStore>([profile = textOf(settings.firefoxprofile)] {
            return findFirefoxProfile(
                firefoxProfilesFolder(QDir::homePath(), qEnvironmentVariable("XDG_CONFIG_HOME")), profile);
        });
    case CookieStore::Extension: {
        auto source = std::make_unique<ExtensionSource>();
        if (clock)
            source->setClock(std::move(clock));
        return source;
    }
    case CookieStore::CookieFolder:
        break;
    }
    return std::make_unique<CookieFolderSource>(cookieFolder(textOf(settings.wintype), userName), mapper);
}

} // namespace orvane
