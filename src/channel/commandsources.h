#pragma once

#include "base/settings.h"
#include "channel/commandsource.h"
#include "platform/windowspath.h"

#include <functional>
#include <memory>

namespace orvane {

// The command source sct.txt chooses: cookiestore=firefox, Firefox's cookie store of the profile
// firefoxprofile names; cookiestore=extension, the browser extension on the user's bridge socket;
// unset or empty, the cookie folder of wintype for the user. Only one source runs, so that no cookie is
// carried out twice. clock (ms since 1970) judges how late the extension's commands are; the system's
// when not given.
std::unique_ptr<CommandSource> makeCommandSource(const Settings& settings, const QString& userName,
                                                 const WindowsPathMapper& mapper,
                                                 std::function<qint64()> clock = {});

} // namespace orvane
