#pragma once

#include <QString>

namespace orvane {

// Messages to the staff. Showing one never waits for an answer: the caller goes on at once.
class Notifier
{
public:
    enum class Icon { None, Information, Warning, Critical };

    virtual ~Notifier() = default;
    virtual void notify(const QString& title, const QString& text, Icon icon) = 0;
};

} // namespace orvane
