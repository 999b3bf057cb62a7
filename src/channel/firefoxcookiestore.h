#pragma once

#include "channel/commandsource.h"
#include "channel/firefoxprofile.h"
#include "platform/folderwatch.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>

namespace orvane {

// Firefox's cookie store (cookies.sqlite of a profile) as a command source: every cookie set since the
// last look becomes one record in the old cookie-file format (see browser/cookierecord.h), oldest first.
// A tick that finds both the store and its write-ahead log unchanged (modification times in
// nanoseconds) does nothing else. Besides the tick, the store is looked at as soon as the profile
// folder's notification says the store or its log was written (one look for the events that arrive
// together). The store is read read-only and closed again at once; while Firefox holds it locked, a copy
// of the log and then of the store is read instead.
class FirefoxCookieStore final : public CommandSource
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FirefoxCookieStore)

public:
    // The columns of moz_cookies that change how it is read.
    struct Columns
    {
        bool updateTime = false;
        bool originAttributes = false;
        bool lastAccessed = false;
        bool httpOnly = false;
    };

    using Locate = std::function<Result<QString>()>; // the profile's folder

    // locate finds the profile; it is asked again (at most once a second) while there is none.
    explicit FirefoxCookieStore(Locate locate, QObject* parent = nullptr);
    ~FirefoxCookieStore() override;

    // Cookies set before now are not carried out. A store that is not there yet is no failure: it is
    // picked up when it appears.
    Result<> start() override;
    void tick() override;
    void stop() override;

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
    // The cookies set since the last read.
    Result<QList<Set>> readSets(bool baselineOnly);
    // The same from one file; a store SQLite finds locked (Firefox's exclusive lock) sets m_locked.
    Result<QList<Set>> readFrom(const QString& path, bool baselineOnly);
    // The steps of a read. store: the file is Firefox's own store, not a copy.
    Result<Columns> columnsOf(const QSqlDatabase& db, bool store);
    Result<QList<Set>> readByUpdateTime(const QSqlDatabase& db, const Columns& columns, bool store,
                                        bool baselineOnly);
    Result<QList<Set>> readByChange(const QSqlDatabase& db, const Columns& columns, bool store,
                                    bool baselineOnly);
    // The failure's text; a store locked by Firefox is read through a copy from now on.
    QString failure(const QSqlError& error, bool store);
    Result<QString> copyStore();
    void warnOnce(const QString& problem);

    void onFolderChanged(const QList<QByteArray>& names);

    Locate m_locate;
    FolderWatch* m_watch = nullptr;
    bool m_lookPending = false;
    QString m_store;
    QElapsedTimer m_sinceLocate;
    Stamp m_stamp;
    bool m_started = false;
    bool m_locked = false;           // Firefox holds the store exclusively: read a copy
    qint64 m_lastUpdate = 0;         // updateTime of the newest set carried out (µs)
    QHash<QString, QString> m_known; // stores without updateTime: each cookie's value and expiry
    QString m_lastProblem;
    std::unique_ptr<QTemporaryDir> m_copyFolder;
    QString m_connection;
};

} // namespace orvane
