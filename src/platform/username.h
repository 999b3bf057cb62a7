#pragma once

#include <QString>

namespace orvane {

// The name of the user the program runs as (the logged-on user of the desk).
QString currentUserName();

} // namespace orvane
