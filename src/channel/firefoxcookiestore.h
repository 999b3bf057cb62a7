#pragma once

#include "channel/firefoxprofile.h"

#include <QElapsedTimer>
#include <QHash>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <optional>

namespace orvane {

// Firefox's cookie store (cookies.sqlite of a profile) as a command source: every cookie set since the
// last tick becomes one record in the old cookie-file format (see text/cookierecord.h), oldest first.
// A tick that finds both the store and its write-ahead log unchanged (modification times in
// nanoseconds) does nothing else. The store is read read-only and closed again at once; while Firefox
// holds it locked, a copy of the log and then of the store is read instead.
class FirefoxCookieStore
{
public:
    using Locate = std::function<FirefoxProfile()>;
    using Handler = std::function<void(const QString& record)>;

    // locate finds the profile; it is asked again (at most once a second) while there is none.
    explicit FirefoxCookieStore(Locate locate);
    ~FirefoxCookieStore();
    FirefoxCookieStore(const FirefoxCookieStore&) = delete;
    FirefoxCookieStore& operator=(const FirefoxCookieStore&) = delete;

    // Start-up: cookies set before now are not carried out.
    void start();
    // One tick.
    void poll(const Handler& handler);

    // The store's path once the profile is known.
    QString storePath() const { return m_store; }

private:
    struct Stamp
    {
        qint64 store = -1;
        qint64 log = -1;
        friend bool operator==(const Stamp&, const Stamp&) = default;
    };
    struct Set
    {
        QString record;
        qint64 order = 0;
    };

    bool locate();
    Stamp stamp() const;
    // The cookies set since the last read; nullopt (and a warning) when the store cannot be read.
    std::optional<QList<Set>> readSets(bool baselineOnly);
    std::optional<QString> readFrom(const QString& path, bool baselineOnly, QList<Set>* sets);
    std::optional<QString> copyStore(QString* copy);
    void warnOnce(const QString& problem);

    Locate m_locate;
    QString m_store;
    QElapsedTimer m_sinceLocate;
    Stamp m_stamp;
    bool m_started = false;
    bool m_baselineTaken = false; // start() has set the starting point
    bool m_locked = false;           // Firefox holds the store exclusively: read a copy
    qint64 m_lastUpdate = 0;         // updateTime of the newest set carried out (µs)
    QHash<QString, QString> m_known; // stores without updateTime: each cookie's value and expiry
    QString m_lastProblem;
    std::unique_ptr<QTemporaryDir> m_copyFolder;
    QString m_connection;
};

} // namespace orvane
