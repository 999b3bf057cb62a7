#include "channel/firefoxcookiestore.h"

#include "base/logging.h"
#include "browser/cookierecord.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTimer>

#include <algorithm>

#include <sys/stat.h>

namespace orvane {

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kLocateIntervalMs = 1000;
const QString kStore = QStringLiteral("cookies.sqlite");
const QString kLog = QStringLiteral("cookies.sqlite-wal");

qint64 modifiedNs(const QString& path)
{
    struct stat info;
    if (stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
}

// Firefox before 122 kept the expiry in seconds, later versions in milliseconds.
qint64 expiryMs(qint64 stored)
{
    constexpr qint64 kSecondsUntilYear5000 = 95617584000LL;
    return stored < kSecondsUntilYear5000 ? stored * 1000 : stored;
}

// The cookie of a row whose first columns are name, value, host, path, expiry, creationTime.
Cookie cookieAt(const QSqlQuery& query)
{
    return {query.value(0).toString(),
            query.value(1).toString(),
            query.value(2).toString(),
            query.value(3).toString(),
            expiryMs(query.value(4).toLongLong()),
            query.value(5).toLongLong()};
}

// An HttpOnly cookie is the server's (a page's script cannot set one; a session is one): never a
// command. A store without the column has none.
QString notHttpOnly(const FirefoxCookieStore::Columns& columns)
{
    return columns.httpOnly ? QStringLiteral("NOT COALESCE(isHttpOnly, 0)") : QStringLiteral("1");
}

} // namespace

FirefoxCookieStore::FirefoxCookieStore(Locate locate, QObject* parent)
    : CommandSource(parent), m_locate(std::move(locate)),
      m_connection(QStringLiteral("orvane-firefox-%1").arg(quintptr(this), 0, 16))
{
}

FirefoxCookieStore::~FirefoxCookieStore() = default;

bool FirefoxCookieStore::locate()
{
    if (!m_store.isEmpty())
        return true;
    if (m_sinceLocate.isValid() && m_sinceLocate.elapsed() < kLocateIntervalMs)
        return false;
    m_sinceLocate.start();
    const Result<QString> profile = m_locate();
    if (!profile) {
        warnOnce(profile.error());
        return false;
    }
    m_store = QDir(*profile).filePath(kStore);
    if (!m_watch) {
        m_watch = new FolderWatch(this);
        connect(m_watch, &FolderWatch::changed, this, &FirefoxCookieStore::onFolderChanged);
    }
    // Without a watch the tick alone looks at the store: a command takes up to a tick longer.
    if (const Result<> watched = m_watch->watch(*profile); !watched)
        qCDebug(lcChannel).noquote() << "Firefox cookie store looked at on the tick only:" << watched.error();
    return true;
}

void FirefoxCookieStore::onFolderChanged(const QList<QByteArray>& names)
{
    const bool store = std::any_of(names.cbegin(), names.cend(),
                                   [](const QByteArray& name) { return name.startsWith("cookies.sqlite"); });
    if (!store || m_lookPending)
        return;
    // The log is written page by page: the look waits for the events already queued, then runs once.
    m_lookPending = true;
    QTimer::singleShot(0, this, [this] {
        m_lookPending = false;
        tick();
    });
}

FirefoxCookieStore::Stamp FirefoxCookieStore::stamp() const
{
    return {modifiedNs(m_store), modifiedNs(m_store + u"-wal")};
}

Result<> FirefoxCookieStore::start()
{
    m_started = true;
    // The starting point is the newest set in the store; a store that cannot be read yet holds only
    // cookies set from now on when it can.
    m_lastUpdate = QDateTime::currentMSecsSinceEpoch() * 1000;
    if (locate()) {
        const Stamp now = stamp();
        if (readSets(true))
            m_stamp = now;
    }
    return {};
}

void FirefoxCookieStore::stop()
{
    m_started = false;
}

void FirefoxCookieStore::tick()
{
    if (!m_started || !locate())
        return;
    const Stamp now = stamp();
    if (now == m_stamp)
        return;
    const Result<QList<Set>> sets = readSets(false);
    if (!sets)
        return; // read again at the next tick
    m_stamp = now;
    for (const Set& set : *sets)
        emit commandArrived(set.record);
}

void FirefoxCookieStore::warnOnce(const QString& problem)
{
    if (problem == m_lastProblem)
        return;
    m_lastProblem = problem;
    warn(u"Firefox cookie store: " + problem);
}

Result<QString> FirefoxCookieStore::copyStore()
{
    // The log first, then the store: a checkpoint in between leaves a store that holds the log's
    // changes, never a log the store has not seen.
    if (!m_copyFolder || !m_copyFolder->isValid())
        m_copyFolder = std::make_unique<QTemporaryDir>();
    const QDir folder(m_copyFolder->path());
    for (const QString& name : {kStore, kLog, QStringLiteral("cookies.sqlite-shm")})
        QFile::remove(folder.filePath(name));
    if (QFile::exists(m_store + u"-wal") && !QFile::copy(m_store + u"-wal", folder.filePath(kLog)))
        return fail(QStringLiteral("%1-wal をコピーできません").arg(m_store));
    if (!QFile::copy(m_store, folder.filePath(kStore)))
        return fail(QStringLiteral("%1 をコピーできません").arg(m_store));
    return folder.filePath(kStore);
}

Result<QList<FirefoxCookieStore::Set>> FirefoxCookieStore::readSets(bool baselineOnly)
{
    Result<QList<Set>> sets = fail(QStringLiteral("%1 がありません").arg(m_store));
    if (QFile::exists(m_store)) {
        if (!m_locked)
            sets = readFrom(m_store, baselineOnly);
        if (m_locked) { // from now on, through a copy
            const Result<QString> copy = copyStore();
            sets = copy ? readFrom(*copy, baselineOnly) : Result<QList<Set>>(fail(copy.error()));
        }
    }
    if (!sets)
        warnOnce(sets.error());
    else
        m_lastProblem.clear();
    return sets;
}

Result<QList<FirefoxCookieStore::Set>> FirefoxCookieStore::readFrom(const QString& path, bool baselineOnly)
{
    Result<QList<Set>> sets = QList<Set>();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
        db.setDatabaseName(path);
        // The store itself only ever read; a private copy opened normally, so its log is taken in.
        if (path == m_store)
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=20"));
        const bool store = path == m_store;
        sets = (db.open() ? Result<>() : Result<>(fail(failure(db.lastError(), store))))
                   .and_then([&] { return columnsOf(db, store); })
                   .and_then([&](const Columns& columns) {
                       return columns.updateTime ? readByUpdateTime(db, columns, store, baselineOnly)
                                                 : readByChange(db, columns, store, baselineOnly);
                   });
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
    return sets;
}

QString FirefoxCookieStore::failure(const QSqlError& error, bool store)
{
    // SQLITE_BUSY or SQLITE_LOCKED: another connection (Firefox) holds the store.
    const int code = error.nativeErrorCode().toInt();
    if (store && (code == 5 || code == 6))
        m_locked = true;
    return QStringLiteral("%1 を読めません: %2").arg(m_store, error.text());
}

Result<FirefoxCookieStore::Columns> FirefoxCookieStore::columnsOf(const QSqlDatabase& db, bool store)
{
    const QSqlRecord columns = db.record(QStringLiteral("moz_cookies"));
    if (columns.isEmpty()) {
        // An empty record: the table is missing, or the store is locked.
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("SELECT 1 FROM moz_cookies LIMIT 1")))
            return fail(failure(query.lastError(), store));
        return fail(QStringLiteral("%1 を読めません: moz_cookies に列がありません").arg(m_store));
    }
    QStringList missing;
    for (const char* column : {"name", "value", "host", "path", "expiry", "creationTime"})
        if (columns.indexOf(QLatin1String(column)) < 0)
            missing.append(QLatin1String(column));
    if (!missing.isEmpty())
        return fail(QStringLiteral("%1 を読めません: moz_cookies に列 %2 がありません")
                        .arg(m_store, missing.join(u", ")));
    return Columns{columns.indexOf(QLatin1String("updateTime")) >= 0,
                   columns.indexOf(QLatin1String("originAttributes")) >= 0,
                   columns.indexOf(QLatin1String("lastAccessed")) >= 0,
                   columns.indexOf(QLatin1String("isHttpOnly")) >= 0};
}

Result<QList<FirefoxCookieStore::Set>> FirefoxCookieStore::readByUpdateTime(const QSqlDatabase& db,
                                                                            const Columns& columns,
                                                                            bool store, bool baselineOnly)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT name, value, host, path, expiry, creationTime, updateTime "
                                 "FROM moz_cookies WHERE updateTime > ? AND %1 ORDER BY updateTime, id")
                      .arg(notHttpOnly(columns)));
    query.addBindValue(baselineOnly ? qint64(0) : m_lastUpdate);
    if (!query.exec())
        return fail(failure(query.lastError(), store));
    QList<Set> sets;
    qint64 newest = 0;
    while (query.next()) {
        const qint64 update = query.value(6).toLongLong();
        newest = std::max(newest, update);
        if (!baselineOnly)
            sets.append({cookieRecord(cookieAt(query)), update});
    }
    if (baselineOnly)
        m_lastUpdate = newest;
    else if (!sets.isEmpty())
        m_lastUpdate = sets.last().order;
    return sets;
}

Result<QList<FirefoxCookieStore::Set>> FirefoxCookieStore::readByChange(const QSqlDatabase& db,
                                                                        const Columns& columns, bool store,
                                                                        bool baselineOnly)
{
    // Without updateTime a set shows as a new value or expiry of a cookie.
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT name, value, host, path, expiry, creationTime, %1, %2 "
                                   "FROM moz_cookies WHERE %3 ORDER BY %1")
                        .arg(columns.lastAccessed ? u"lastAccessed"_s : u"creationTime"_s,
                             columns.originAttributes ? u"originAttributes"_s : u"''"_s,
                             notHttpOnly(columns))))
        return fail(failure(query.lastError(), store));
    QList<Set> sets;
    QHash<QString, QString> known;
    while (query.next()) {
        const QString key = query.value(2).toString() + u'\t' + query.value(3).toString() + u'\t' +
                            query.value(0).toString() + u'\t' + query.value(7).toString();
        const QString state = query.value(1).toString() + u'\t' + query.value(4).toString();
        known.insert(key, state);
        if (!baselineOnly && m_known.value(key) != state)
            sets.append({cookieRecord(cookieAt(query)), query.value(6).toLongLong()});
    }
    m_known = std::move(known);
    return sets;
}

} // namespace orvane
