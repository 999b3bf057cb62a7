#pragma once

#include "platform/launcher.h"

namespace orvane {

// Places a telephone call through the desk's telephony service. The number is handed over unchanged;
// whether the call is placed is the service's affair.
class Dialler
{
public:
    virtual ~Dialler() = default;
    virtual Result<> dial(const QString& number) = 0;
};

// The system's telephony handler: the tel: link of the number, opened as the desktop opens links.
class TelephonyDialler final : public Dialler
{
public:
    explicit TelephonyDialler(ProgramLauncher& launcher) : m_launcher(launcher) {}
    Result<> dial(const QString& number) override;

private:
    ProgramLauncher& m_launcher;
};

} // namespace orvane
