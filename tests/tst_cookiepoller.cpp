#include "channel/cookiefoldersource.h"
#include "channel/cookiepoller.h"
#include "support/testsupport.h"

#include <QDir>
#include <QProcess>
#include <QTest>

#include <unistd.h>

using namespace Qt::StringLiterals;

using namespace orvane;

class TestCookiePoller : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void choosesTheFolder_data();
    void choosesTheFolder();
    void handsOnANewFileOnce();
    void takesOnlyWholeSecondsIntoAccount();
    void handsOnInListingOrder();
    void seesOnlyCookieFiles();
    void seesCookieFilesOfWintype5();
    void doesNothingWithoutTheFolder();
    void skipsAFileRemovedMeanwhile();
    void findsTheNewestTime();
    void findsTheFolderAgainAfterItIsRecreated();
    void skipsTheListingOnlyWhenNothingChanged();
    void seesAChangeThatRaisedNoNotification();
    void listsAgainAfterTheFolderIsRemounted();
    void carriesOutAWriteWithoutATick_data();
    void carriesOutAWriteWithoutATick();

private:
    QString folderOf(const QString& wintype, const QString& user);
    QString write(const QString& folder, const QString& name, qint64 seconds);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<CookiePoller> m_poller;
    QStringList m_handled;
    CookiePoller::Handler m_record;
    const qint64 m_base = QDateTime(QDate(2026, 12, 8), QTime(9, 0)).toSecsSinceEpoch();
};

void TestCookiePoller::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QDir().mkpath(m_dir->filePath(u"wine/drive_c"_s));
    m_poller = std::make_unique<CookiePoller>(WindowsPathMapper(m_dir->filePath(u"wine"_s)));
    m_handled.clear();
    m_record = [this](const QString& path) { m_handled.append(QFileInfo(path).fileName()); };
}

QString TestCookiePoller::folderOf(const QString& wintype, const QString& user)
{
    const CookieFolder folder = cookieFolder(wintype, user);
    QString native = *WindowsPathMapper(m_dir->filePath(u"wine"_s)).toNative(folder.windowsPath);
    QDir().mkpath(native);
    return native;
}

QString TestCookiePoller::write(const QString& folder, const QString& name, qint64 seconds)
{
    const QString path = QDir(folder).filePath(name);
    test::writeFile(path, "x\ncommand\n");
    test::setModified(path, QDateTime::fromSecsSinceEpoch(seconds));
    return path;
}

void TestCookiePoller::choosesTheFolder_data()
{
    QTest::addColumn<QString>("wintype");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("pattern");
    QTest::newRow("1: Vista and later roaming")
        << u"1"_s << u"C:\\Users\\alice\\AppData\\Roaming\\Microsoft\\Windows\\Cookies\\"_s << u"*.txt"_s;
    QTest::newRow("2: XP protected mode")
        << u"2"_s << u"C:\\Documents and Settings\\alice\\Cookies\\Low\\"_s << u"*.txt"_s;
    QTest::newRow("3: INetCookies")
        << u"3"_s << u"C:\\Users\\alice\\AppData\\Local\\Microsoft\\Windows\\INetCookies\\Low\\"_s
        << u"*.txt"_s;
    QTest::newRow("4: roaming low")
        << u"4"_s << u"C:\\Users\\alice\\AppData\\Roaming\\Microsoft\\Windows\\Cookies\\Low\\"_s
        << u"*.txt"_s;
    QTest::newRow("5: .cookie files")
        << u"5"_s << u"C:\\Documents and Settings\\alice\\Cookies\\Low\\"_s << u"*.cookie"_s;
    QTest::newRow("unset") << QString() << u"c:\\Documents and Settings\\alice\\Cookies\\"_s << u"*.txt"_s;
    QTest::newRow("anything else") << u"7"_s << u"c:\\Documents and Settings\\alice\\Cookies\\"_s
                                   << u"*.txt"_s;
}

void TestCookiePoller::choosesTheFolder()
{
    QFETCH(QString, wintype);
    QFETCH(QString, path);
    QFETCH(QString, pattern);
    const CookieFolder folder = cookieFolder(wintype, u"alice"_s);
    QCOMPARE(folder.windowsPath, path);
    QCOMPARE(folder.pattern, pattern);
}

void TestCookiePoller::handsOnANewFileOnce()
{
    const QString folder = folderOf(u"1"_s, u"alice"_s);
    const QString path = write(folder, u"alice@clinic.txt"_s, m_base);
    qint64 last = 0;
    m_poller->poll(cookieFolder(u"1"_s, u"alice"_s), last, m_record);
    QCOMPARE(m_handled, QStringList{u"alice@clinic.txt"_s});
    QCOMPARE(last, m_base);
    QCOMPARE(QFileInfo(path).path(), QDir(folder).absolutePath());

    m_poller->poll(cookieFolder(u"1"_s, u"alice"_s), last, m_record);
    QCOMPARE(m_handled.size(), 1);

    write(folder, u"alice@clinic.txt"_s, m_base + 1);
    m_poller->poll(cookieFolder(u"1"_s, u"alice"_s), last, m_record);
    QCOMPARE(m_handled.size(), 2);
}

void TestCookiePoller::takesOnlyWholeSecondsIntoAccount()
{
    const QString folder = folderOf(u"1"_s, u"alice"_s);
    const QString path = write(folder, u"a.txt"_s, m_base);
    qint64 last = 0;
    m_poller->poll(cookieFolder(u"1"_s, u"alice"_s), last, m_record);
    // Rewritten within the same second: the same command as far as the poller can tell.
    test::writeFile(path, "x\nTotal500\n");
    test::setModified(path, QDateTime::fromMSecsSinceEpoch(m_base * 1000 + 700));
    m_poller->poll(cookieFolder(u"1"_s, u"alice"_s), last, m_record);
    QCOMPARE(m_handled.size(), 1);
}

void TestCookiePoller::handsOnInListingOrder()
{
    const QString folder = folderOf(u"1"_s, u"alice"_s);
    write(folder, u"a.txt"_s, m_base + 5);
    write(folder, u"b.txt"_s, m_base + 9);
    write(folder, u"c.txt"_s, m_base + 5);
    const QStringList listing = QDir(folder).entryList(QDir::Files, QDir::Unsorted);
    qint64 last = 0;
    m_poller->poll(cookieFolder(u"1"_s, u"alice"_s), last, m_record);
    // Each file is handed on when it is newer than every file handed on before it in the listing.
    QStringList expected;
    qint64 newest = 0;
    for (const QString& name : listing) {
        const qint64 time = QFileInfo(QDir(folder).filePath(name)).lastModified().toSecsSinceEpoch();
        if (time > newest) {
            newest = time;
            expected.append(name);
        }
    }
    QCOMPARE(m_handled, expected);
    QVERIFY(m_handled.contains(u"b.txt"_s));
    QVERIFY(!(m_handled.contains(u"a.txt"_s) && m_handled.contains(u"c.txt"_s)));
    QCOMPARE(last, m_base + 9);
}

void TestCookiePoller::seesOnlyCookieFiles()
{
    const QString folder = folderOf(QString(), u"alice"_s);
    write(folder, u"index.dat"_s, m_base + 1);
    write(folder, u".hidden.txt"_s, m_base + 2);
    QDir(folder).mkdir(u"folder.txt"_s);
    write(folder, u"UPPER.TXT"_s, m_base);
    qint64 last = 0;
    m_poller->poll(cookieFolder(QString(), u"alice"_s), last, m_record);
    QCOMPARE(m_handled, QStringList{u"UPPER.TXT"_s});
}

void TestCookiePoller::seesCookieFilesOfWintype5()
{
    const QString folder = folderOf(u"5"_s, u"alice"_s);
    QCOMPARE(folder, folderOf(u"2"_s, u"alice"_s));
    write(folder, u"a.txt"_s, m_base + 3);
    write(folder, u"b.cookie"_s, m_base);
    qint64 last = 0;
    m_poller->poll(cookieFolder(u"5"_s, u"alice"_s), last, m_record);
    QCOMPARE(m_handled, QStringList{u"b.cookie"_s});
}

void TestCookiePoller::doesNothingWithoutTheFolder()
{
    folderOf(u"1"_s, u"alice"_s);
    write(folderOf(u"1"_s, u"alice"_s), u"a.txt"_s, m_base);
    qint64 last = 0;
    m_poller->poll(cookieFolder(u"1"_s, QString()), last, m_record); // empty user: no such folder
    m_poller->poll(cookieFolder(u"3"_s, u"alice"_s), last, m_record);
    QVERIFY(m_handled.isEmpty());
    QCOMPARE(last, qint64(0));
}

void TestCookiePoller::skipsAFileRemovedMeanwhile()
{
    const QString folder = folderOf(u"1"_s, u"alice"_s);
    const QString a = write(folder, u"a.txt"_s, m_base);
    const QString b = write(folder, u"b.txt"_s, m_base + 1);
    qint64 last = 0;
    // Whichever comes first removes the other, which is then never handed on.
    m_poller->poll(cookieFolder(u"1"_s, u"alice"_s), last, [&](const QString& path) {
        m_handled.append(path);
        QFile::remove(path.endsWith(u"a.txt"_s) ? b : a);
    });
    QCOMPARE(m_handled.size(), 1);
}

void TestCookiePoller::findsTheNewestTime()
{
    const QString folder = folderOf(u"1"_s, u"alice"_s);
    QVERIFY(!m_poller->newestTime(cookieFolder(u"1"_s, u"alice"_s)));
    write(folder, u"a.txt"_s, m_base + 7);
    write(folder, u"b.txt"_s, m_base + 3);
    write(folder, u"c.dat"_s, m_base + 20);
    QCOMPARE(m_poller->newestTime(cookieFolder(u"1"_s, u"alice"_s)), std::optional<qint64>(m_base + 7));
}

void TestCookiePoller::findsTheFolderAgainAfterItIsRecreated()
{
    QString folder = folderOf(u"1"_s, u"alice"_s);
    qint64 last = 0;
    m_poller->poll(cookieFolder(u"1"_s, u"alice"_s), last, m_record);
    // The profile folder is recreated with another case of its name.
    QDir(m_dir->filePath(u"wine/drive_c/Users/alice"_s)).removeRecursively();
    const QString recreated =
        m_dir->filePath(u"wine/drive_c/Users/alice/AppData/Roaming/Microsoft/Windows/COOKIES"_s);
    QDir().mkpath(recreated);
    write(recreated, u"a.txt"_s, m_base);
    m_poller->poll(cookieFolder(u"1"_s, u"alice"_s), last, m_record);
    QCOMPARE(m_handled, QStringList{u"a.txt"_s});
}

void TestCookiePoller::skipsTheListingOnlyWhenNothingChanged()
{
    const QString folder = folderOf(u"1"_s, u"alice"_s);
    const QString path = write(folder, u"a.txt"_s, m_base);
    const CookieFolder cookies = cookieFolder(u"1"_s, u"alice"_s);
    qint64 last = 0;
    m_poller->poll(cookies, last, m_record);
    const quint64 listings = m_poller->listings();
    for (int i = 0; i < 3; ++i)
        m_poller->poll(cookies, last, m_record);
    QVERIFY(m_poller->listings() - listings <= 1); // idle ticks list nothing (where notifications exist)

    // Each kind of change is seen at the next tick, as a listing would see it.
    test::setModified(path, QDateTime::fromSecsSinceEpoch(m_base + 1)); // time set only
    m_poller->poll(cookies, last, m_record);
    QCOMPARE(m_handled.size(), 2);
    write(folder, u"b.txt"_s, m_base + 2); // a new file
    m_poller->poll(cookies, last, m_record);
    QCOMPARE(m_handled.size(), 3);
    QFile::rename(QDir(folder).filePath(u"b.txt"_s), QDir(folder).filePath(u"c.txt"_s));
    test::setModified(QDir(folder).filePath(u"c.txt"_s), QDateTime::fromSecsSinceEpoch(m_base + 3));
    m_poller->poll(cookies, last, m_record);
    QCOMPARE(m_handled.last(), u"c.txt"_s);
    // Rewritten in place, as a browser does.
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("x\nwel\n");
    file.close();
    test::setModified(path, QDateTime::fromSecsSinceEpoch(m_base + 4));
    m_poller->poll(cookies, last, m_record);
    QCOMPARE(m_handled.last(), u"a.txt"_s);
    QCOMPARE(m_handled.size(), 5);
}

void TestCookiePoller::seesAChangeThatRaisedNoNotification()
{
    // A file changed through a hard link in another folder: the cookie folder hears nothing of it.
    const QString folder = folderOf(u"1"_s, u"alice"_s);
    const QString elsewhere = m_dir->filePath(u"elsewhere/a.txt"_s);
    QVERIFY(test::writeFile(elsewhere, "x\nwel\n"));
    QVERIFY(test::setModified(elsewhere, QDateTime::fromSecsSinceEpoch(m_base)));
    QCOMPARE(::link(QFile::encodeName(elsewhere).constData(),
                    QFile::encodeName(QDir(folder).filePath(u"a.txt"_s)).constData()),
             0);
    const CookieFolder cookies = cookieFolder(u"1"_s, u"alice"_s);
    qint64 last = 0;
    m_poller->setLinkedFileInterval(100);
    m_poller->poll(cookies, last, m_record);
    QCOMPARE(m_handled, QStringList{u"a.txt"_s});

    QVERIFY(test::setModified(elsewhere, QDateTime::fromSecsSinceEpoch(m_base + 1)));
    QTRY_COMPARE((m_poller->poll(cookies, last, m_record), m_handled.size()), 2);
    QCOMPARE(last, m_base + 1);
}

void TestCookiePoller::listsAgainAfterTheFolderIsRemounted()
{
    if (geteuid() != 0)
        QSKIP("mounting the cookie folder's file system needs root; not tested here");
    const QString folder = folderOf(u"1"_s, u"alice"_s);
    const QString image = m_dir->filePath(u"cookies.img"_s);
    QFile(image).open(QIODevice::WriteOnly);
    QVERIFY(QFile(image).resize(4 << 20));
    const auto run = [](const QString& program, const QStringList& arguments) {
        return QProcess::execute(program, arguments) == 0;
    };
    if (!run(u"mkfs.ext2"_s, {u"-q"_s, image}) || !run(u"mount"_s, {u"-o"_s, u"loop"_s, image, folder}))
        QSKIP("no loop device to mount a file system on; not tested here");
    const auto unmount = qScopeGuard([&] { QProcess::execute(u"umount"_s, {folder}); });
    write(folder, u"a.txt"_s, m_base);
    const CookieFolder cookies = cookieFolder(u"1"_s, u"alice"_s);
    qint64 last = 0;
    m_poller->poll(cookies, last, m_record);
    QCOMPARE(m_handled.size(), 1);

    // The same file system mounted again: the same device and folder inode, but the old watch is gone.
    QVERIFY(run(u"umount"_s, {folder}));
    QVERIFY(run(u"mount"_s, {u"-o"_s, u"loop"_s, image, folder}));
    m_poller->poll(cookies, last, m_record);
    write(folder, u"b.txt"_s, m_base + 1);
    m_poller->poll(cookies, last, m_record);
    QCOMPARE(m_handled, (QStringList{u"a.txt"_s, u"b.txt"_s}));
}

void TestCookiePoller::carriesOutAWriteWithoutATick_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<QStringList>("commands");
    QTest::newRow("written in place") << u"in place"_s << QStringList{u"now"_s};
    QTest::newRow("moved in") << u"moved"_s << QStringList{u"moved"_s};
    QTest::newRow("two files of one second: the second is no newer")
        << u"same second"_s << QStringList{u"first"_s, u"after"_s};
    QTest::newRow("a file older than the last one handed on") << u"old"_s << QStringList{u"after"_s};
    QTest::newRow("written through a hard link made after the listing")
        << u"link"_s << QStringList{u"linked"_s};
}

void TestCookiePoller::carriesOutAWriteWithoutATick()
{
    QFETCH(QString, way);
    QFETCH(QStringList, commands);
    const QString folder = folderOf(u"1"_s, u"alice"_s);
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    write(folder, u"baseline.txt"_s, now - 100); // before the start: never carried out
    CookieFolderSource source(cookieFolder(u"1"_s, u"alice"_s),
                              WindowsPathMapper(m_dir->filePath(u"wine"_s)));
    QStringList arrived;
    connect(&source, &CommandSource::commandArrived, [&](const std::optional<QString>& text) {
        arrived.append(text.value_or(QString()).section(u'\n', 1, 1));
    });
    QVERIFY_RESULT(source.start());
    // From here on no tick: the file system's word alone runs the pass.
    const auto moveIn = [&](const QString& name, const QByteArray& command, qint64 seconds) {
        const QString aside = m_dir->filePath(name);
        QVERIFY(test::writeFile(aside, "x\n" + command + "\n"));
        QVERIFY(test::setModified(aside, QDateTime::fromSecsSinceEpoch(seconds)));
        QVERIFY(QFile::rename(aside, QDir(folder).filePath(name)));
    };
    if (way == u"in place") {
        QVERIFY(test::writeFile(QDir(folder).filePath(u"a.txt"_s), "x\nnow\n"));
    } else if (way == u"moved") {
        moveIn(u"a.txt"_s, "moved", now + 10);
    } else if (way == u"same second") {
        moveIn(u"a.txt"_s, "first", now + 10);
        QTRY_COMPARE(arrived.size(), 1);
        moveIn(u"b.txt"_s, "second", now + 10);
        moveIn(u"c.txt"_s, "after", now + 11); // the pass that ran for it passed over b.txt
    } else if (way == u"old") {
        moveIn(u"a.txt"_s, "old", now - 200);
        moveIn(u"b.txt"_s, "after", now + 10);
    } else if (way == u"link") {
        const QString elsewhere = m_dir->filePath(u"elsewhere.txt"_s);
        QCOMPARE(::link(QFile::encodeName(QDir(folder).filePath(u"baseline.txt"_s)).constData(),
                        QFile::encodeName(elsewhere).constData()),
                 0);
        QVERIFY(test::writeFile(elsewhere, "x\nlinked\n"));
    }
    QTRY_COMPARE(arrived, commands);
}

QTEST_GUILESS_MAIN(TestCookiePoller)
#include "tst_cookiepoller.moc"
