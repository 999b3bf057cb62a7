#include "browser/cookierecord.h"
#include "channel/firefoxcookiestore.h"
#include "channel/firefoxprofile.h"
#include "support/testsupport.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <utility>

using namespace Qt::StringLiterals;

using namespace orvane;

namespace {

const QByteArray kSchema =
    "PRAGMA journal_mode=WAL;"
    "CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, originAttributes TEXT NOT NULL DEFAULT '', name TEXT,"
    " value TEXT, host TEXT, path TEXT, expiry INTEGER, lastAccessed INTEGER, creationTime INTEGER,"
    " isSecure INTEGER, isHttpOnly INTEGER, inBrowserElement INTEGER DEFAULT 0, sameSite INTEGER DEFAULT 0,"
    " schemeMap INTEGER DEFAULT 0, isPartitionedAttributeSet INTEGER DEFAULT 0, updateTime INTEGER,"
    " CONSTRAINT moz_uniqueid UNIQUE (name, host, path, originAttributes));";

// 2027-01-01T00:00:00Z in ms, and a creation time in µs.
constexpr qint64 kExpiry = 1798761600000;
constexpr qint64 kCreation = 1796724000123456;

} // namespace

// Firefox's cookie store as a command source, on stores made here with the sqlite3 tool.
class TestFirefoxStore : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void buildsTheRecordOfTheOldCookieFiles();
    void handsOnSetsSinceTheStartInOrder();
    void readsAStoreLockedByAnotherProcess();
    void takesValueChangesWhereThereIsNoUpdateTime();
    void warnsOnceAndPicksTheStoreUpLater();
    void findsTheProfile_data();
    void findsTheProfile();

private:
    bool sql(const QByteArray& statements);
    QByteArray set(const QString& name, const QString& value, qint64 update,
                   const QString& host = u".clinic.example"_s);
    QStringList poll(FirefoxCookieStore& store);

    std::unique_ptr<QTemporaryDir> m_dir;
    QSet<const FirefoxCookieStore*> m_followed;
    QStringList m_arrived;
    QString m_store;
};

void TestFirefoxStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QDir().mkpath(m_dir->filePath(u"profile"_s));
    m_store = m_dir->filePath(u"profile/cookies.sqlite"_s);
}

bool TestFirefoxStore::sql(const QByteArray& statements)
{
    QProcess sqlite;
    sqlite.start(u"sqlite3"_s, {m_store});
    sqlite.write(statements + "\n.quit\n");
    sqlite.closeWriteChannel();
    return sqlite.waitForFinished(10000) && sqlite.exitCode() == 0 && sqlite.readAllStandardError().isEmpty();
}

QByteArray TestFirefoxStore::set(const QString& name, const QString& value, qint64 update,
                                 const QString& host)
{
    // As Firefox sets a cookie: a new row, or new value, expiry and updateTime of the same cookie.
    return QStringLiteral(
               "INSERT INTO moz_cookies (name, value, host, path, expiry, lastAccessed, creationTime,"
               " updateTime) VALUES ('%1', '%2', '%3', '/', %4, %5, %6, %5) ON CONFLICT(name, host,"
               " path, originAttributes) DO UPDATE SET value=excluded.value, expiry=excluded.expiry,"
               " lastAccessed=excluded.lastAccessed, updateTime=excluded.updateTime;")
        .arg(name, value, host)
        .arg(kExpiry)
        .arg(update)
        .arg(kCreation)
        .toUtf8();
}

QStringList TestFirefoxStore::poll(FirefoxCookieStore& store)
{
    // What the store handed on since the last look (its folder's notification may have asked for a
    // look meanwhile), then what this tick finds.
    if (!m_followed.contains(&store)) {
        m_followed.insert(&store);
        QObject::connect(
            &store, &CommandSource::commandArrived, this,
            [this](const std::optional<QString>& record) { m_arrived.append(record.value_or(QString())); });
        QObject::connect(&store, &QObject::destroyed, this, [this, &store] { m_followed.remove(&store); });
    }
    store.tick();
    return std::exchange(m_arrived, {});
}

void TestFirefoxStore::buildsTheRecordOfTheOldCookieFiles()
{
    const Cookie cookie{u"uketsuke"_s, u"Total12345 様"_s, u".clinic.example"_s, u"/mivaweb/"_s,
                        kExpiry,       kCreation};
    QCOMPARE(cookieRecord(cookie), u"uketsuke\nTotal12345 様\nclinic.example/mivaweb/\n0\n"
                                   u"189251584\n31299971\n3810305664\n31295226\n*\n"_s);
}

void TestFirefoxStore::handsOnSetsSinceTheStartInOrder()
{
    QVERIFY(sql(kSchema + set(u"old"_s, u"wel"_s, kCreation)));
    FirefoxCookieStore store([this] { return Result<QString>(m_dir->filePath(u"profile"_s)); });
    QVERIFY_RESULT(store.start());
    QVERIFY(poll(store).isEmpty()); // set before the start: not carried out

    // Two sets within one second, then the first cookie set again: three commands, in order.
    QVERIFY(sql(set(u"a"_s, u"Total1"_s, kCreation + 10) + set(u"b"_s, u"Total2"_s, kCreation + 20)));
    QVERIFY(sql(set(u"old"_s, u"nykin5/1"_s, kCreation + 30)));
    // The server's HttpOnly session cookie is never a command.
    QVERIFY(sql(set(u"sessionid"_s, u"rsh2Z/1000"_s, kCreation + 25) +
                "UPDATE moz_cookies SET isHttpOnly = 1 WHERE name = 'sessionid';"));
    const QStringList records = poll(store);
    QCOMPARE(records.size(), 3);
    QVERIFY(records[0].startsWith(u"a\nTotal1\nclinic.example/\n0\n"_s));
    QVERIFY(records[1].startsWith(u"b\nTotal2\n"_s));
    QVERIFY(records[2].startsWith(u"old\nnykin5/1\n"_s));
    QVERIFY(poll(store).isEmpty()); // nothing changed since

    // Set twice between two ticks: carried out once, with its last value.
    QVERIFY(sql(set(u"a"_s, u"Total7"_s, kCreation + 40) + set(u"a"_s, u"Total8"_s, kCreation + 50)));
    const QStringList last = poll(store);
    QCOMPARE(last.size(), 1);
    QVERIFY(last[0].startsWith(u"a\nTotal8\n"_s));
}

void TestFirefoxStore::readsAStoreLockedByAnotherProcess()
{
    QVERIFY(sql(kSchema + set(u"old"_s, u"wel"_s, kCreation)));
    // Another process holds the store as Firefox does by default: exclusively, in WAL mode.
    QProcess firefox;
    firefox.start(u"sqlite3"_s, {m_store});
    firefox.write("PRAGMA locking_mode=EXCLUSIVE;\n" + set(u"x"_s, u"wel"_s, kCreation + 1) + "\n");
    FirefoxCookieStore store([this] { return Result<QString>(m_dir->filePath(u"profile"_s)); });
    QTRY_VERIFY(QFile::exists(m_store + u"-wal"_s));
    QVERIFY_RESULT(store.start());
    QVERIFY(poll(store).isEmpty());
    firefox.write(set(u"b"_s, u"Total2"_s, kCreation + 20) + "\n");
    QStringList records;
    QTRY_VERIFY((records += poll(store), !records.isEmpty()));
    QCOMPARE(records.size(), 1);
    QVERIFY(records[0].startsWith(u"b\nTotal2\n"_s));
    firefox.write(".quit\n");
    QVERIFY(firefox.waitForFinished(10000));
}

void TestFirefoxStore::takesValueChangesWhereThereIsNoUpdateTime()
{
    // An older store: no updateTime, the expiry in seconds.
    QVERIFY(sql("CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, originAttributes TEXT NOT NULL DEFAULT '',"
                " name TEXT, value TEXT, host TEXT, path TEXT, expiry INTEGER, lastAccessed INTEGER,"
                " creationTime INTEGER, UNIQUE (name, host, path, originAttributes));"
                "INSERT INTO moz_cookies (name, value, host, path, expiry, lastAccessed, creationTime)"
                " VALUES ('a', 'wel', 'clinic.example', '/', 1798761600, 1, 1796724000123456);"));
    FirefoxCookieStore store([this] { return Result<QString>(m_dir->filePath(u"profile"_s)); });
    QVERIFY_RESULT(store.start());
    QVERIFY(sql("UPDATE moz_cookies SET value='Total3', lastAccessed=2 WHERE name='a';"));
    const QStringList records = poll(store);
    QCOMPARE(records,
             QStringList{u"a\nTotal3\nclinic.example/\n0\n189251584\n31299971\n3810305664\n31295226\n*\n"_s});
}

void TestFirefoxStore::warnsOnceAndPicksTheStoreUpLater()
{
    const QString profile = m_dir->filePath(u"profile"_s);
    FirefoxCookieStore store([&] { return Result<QString>(profile); });
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"cookies.sqlite がありません"_s));
    QVERIFY_RESULT(store.start());
    for (int tick = 0; tick < 3; ++tick)
        QVERIFY(poll(store).isEmpty()); // one warning, not one a tick

    // A store without the expected columns: one warning naming the file and what is missing.
    QVERIFY(sql("CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, name TEXT, value TEXT);"));
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(u"cookies.sqlite .* host, path, expiry, creationTime"_s));
    QVERIFY(poll(store).isEmpty());
    QVERIFY(poll(store).isEmpty());

    // Firefox made the store anew: cookies set since the start are carried out.
    QFile::remove(m_store);
    QVERIFY(sql(kSchema + set(u"a"_s, u"Total1"_s, QDateTime::currentMSecsSinceEpoch() * 1000 + 1000)));
    QCOMPARE(poll(store).size(), 1);
}

void TestFirefoxStore::findsTheProfile_data()
{
    QTest::addColumn<QByteArray>("profiles");
    QTest::addColumn<QByteArray>("installs"); // empty: no installs.ini
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("folder"); // "-": none
    const QByteArray fresh = "[Install4F96D1932A9F858E]\nDefault=abc.default-esr\nLocked=1\n\n"
                             "[Profile1]\nName=default\nIsRelative=1\nPath=xyz.default\nDefault=1\n\n"
                             "[Profile0]\nName=default-esr\nIsRelative=1\nPath=abc.default-esr\n\n"
                             "[General]\nStartWithLastProfile=1\nVersion=2\n";
    QTest::newRow("a fresh machine: the install's default, not Default=1")
        << fresh << QByteArray() << QString() << u"abc.default-esr"_s;
    QTest::newRow("a profile asked for by name") << fresh << QByteArray() << u"default"_s << u"xyz.default"_s;
    QTest::newRow("a name that is not there") << fresh << QByteArray() << u"work"_s << u"-"_s;
    const QByteArray old = "[Profile0]\nName=default\nIsRelative=1\nPath=old.default\nDefault=1\n";
    QTest::newRow("without an install: Default=1") << old << QByteArray() << QString() << u"old.default"_s;
    QTest::newRow("the install's default in installs.ini")
        << old << QByteArray("[4F96D1932A9F858E]\nDefault=new.default-esr\nLocked=1\n") << QString()
        << u"new.default-esr"_s;
    QTest::newRow("an absolute path") << QByteArray("[Profile0]\nName=x\nIsRelative=0\nPath=/srv/ff/x\n")
                                      << QByteArray() << u"x"_s << u"/srv/ff/x"_s;
}

void TestFirefoxStore::findsTheProfile()
{
    QFETCH(QByteArray, profiles);
    QFETCH(QByteArray, installs);
    QFETCH(QString, name);
    QFETCH(QString, folder);
    const QString home = m_dir->filePath(u"home"_s);
    const QString mozilla = home + u"/.mozilla/firefox"_s;
    QVERIFY(test::writeFile(mozilla + u"/profiles.ini"_s, profiles));
    if (!installs.isEmpty())
        QVERIFY(test::writeFile(mozilla + u"/installs.ini"_s, installs));
    // A second profiles.ini under XDG_CONFIG_HOME: Firefox prefers ~/.mozilla, so does the bridge.
    QVERIFY(test::writeFile(home + u"/.config/mozilla/firefox/profiles.ini"_s,
                            "[Profile0]\nName=default\nIsRelative=1\nPath=xdg.default\nDefault=1\n"));
    QCOMPARE(firefoxProfilesFolder(home, QString()), mozilla);
    const Result<QString> profile = findFirefoxProfile(mozilla, name);
    if (folder == u"-") {
        QVERIFY(!profile);
        QVERIFY(profile.error().contains(u"profiles.ini"_s) && profile.error().contains(name));
        return;
    }
    QVERIFY_RESULT(profile);
    QCOMPARE(*profile, folder.startsWith(u'/') ? folder : mozilla + u'/' + folder);
}

QTEST_GUILESS_MAIN(TestFirefoxStore)
#include "tst_firefoxstore.moc"
