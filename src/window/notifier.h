#pragma once

#include <QString>
#include <QtGlobal>

namespace orvane {

// Messages to the staff. Showing one never waits for an answer: the caller goes on at once.
class Notifier
{
public:
    enum class Icon { None, Information, Warning, Critical };

    virtual ~Notifier() = default;
    virtual void notify(const QString& title, const QString& text, Icon icon) = 0;
    // Takes back the messages of that title still shown: what they said is mended.
    virtual void withdraw(const QString& title) { Q_UNUSED(title); }
};

} // namespace orvane
