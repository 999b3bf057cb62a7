#pragma once

#include <QHash>
#include <QString>
#include <functional>

namespace orvane {

// A double click: the same cookie (name, site and value) set again with the same value within a second
// of the last time it was carried out runs once, whichever route brought it (Chromium reports such a
// set twice, a cookie folder's whole-second rule already runs it once). Distinct values run each.
class RepeatGuard
{
public:
    using Clock = std::function<qint64()>; // ms, any steady origin

    static constexpr qint64 kWindowMs = 1000;

    explicit RepeatGuard(Clock clock = {});

    // True when the command file's text is to be carried out (and is remembered as carried out now);
    // false for a repeat within the window.
    bool admit(const QString& commandFile);

private:
    Clock m_clock;
    QHash<QString, qint64> m_carriedOut; // cookie -> when; entries older than the window go
};

} // namespace orvane
