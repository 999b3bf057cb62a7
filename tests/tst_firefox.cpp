#include "support/browsers.h"
#include "support/desk.h"
#include "support/formservices.h"
#include "window/form1.h"

#include <QDir>
#include <QLabel>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace orvane;

// The web system's unchanged pages in a real Firefox ESR (headless) drive the bridge through the
// browser's cookie store.
class TestFirefox : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void drivesTheBridgeFromAPage_data();
    void drivesTheBridgeFromAPage();
};

void TestFirefox::initTestCase()
{
    if (!test::HeadlessBrowser::installed(test::HeadlessBrowser::Kind::Firefox))
        QSKIP("firefox-esr is not installed; the browser's cookie store is not tested here");
}

void TestFirefox::drivesTheBridgeFromAPage_data()
{
    QTest::addColumn<QByteArray>("prefs");
    QTest::newRow("Firefox as installed") << QByteArray();
    QTest::newRow("with the desk's two preferences")
        << QByteArray("user_pref(\"storage.sqlite.exclusiveLock.enabled\", false);\n"
                      "user_pref(\"network.cookie.db.flushIntervalMs\", 0);\n");
}

void TestFirefox::drivesTheBridgeFromAPage()
{
    QFETCH(QByteArray, prefs);
    test::Desk desk;
    const QString home = desk.filePath(u"home"_s);
    const QString profile = desk.filePath(u"firefox-profile"_s);
    QDir().mkpath(profile);
    QVERIFY(test::writeFile(home + u"/.mozilla/firefox/profiles.ini"_s,
                            "[Profile0]\nName=orvane-test\nIsRelative=0\nPath=" + QFile::encodeName(profile) +
                                "\n"));
    const QByteArray savedHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home));
    const auto restoreHome = qScopeGuard([&] { qputenv("HOME", savedHome); });

    test::PageServer pages;
    QVERIFY(pages.listen());
    const QByteArray port = QByteArray::number(pages.port());
    const auto page = [](const QByteArray& script) -> QByteArray {
        return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body><script>" + script +
               "</script></body></html>";
    };
    // Distinct cookie names: Firefox without the preferences writes its store half a second late, and a
    // cookie set twice in that time reaches the store once, with its last value. The sets are 700 ms
    // apart, so that each reaches the bridge at a tick of its own and the stand-in display program
    // logs them in order.
    pages.setPage(
        "/visit",
        page("const sets = [['c1', 'Total12345'], ['c2', 'nykin10000/230'],"
             " ['c3', 'prt9_a_2_x?A?1?100?100_x?B?1?200?200_300_0_300_0_1_x_0_0_y_0_2026-12-08_0']];"
             "let i = 0;"
             "function next() {"
             "  if (i == sets.length) { location.href = 'http://localhost:" +
             port +
             "/other'; return; }"
             "  document.cookie = sets[i][0] + '=' + sets[i][1] + '; max-age=3600; path=/';"
             "  i++; setTimeout(next, 700);"
             "}"
             "setTimeout(next, 500);"));
    // Another site (localhost is not 127.0.0.1): outside cookiehost, its cookie runs nothing.
    pages.setPage("/other", page("document.cookie = 'c4=Total999; max-age=3600; path=/';"
                                 "setTimeout(() => { location.href = 'http://127.0.0.1:" +
                                 port + "/end'; }, 1500);"));
    pages.setPage("/end", page("document.cookie = 'c5=wel; max-age=3600; path=/';"));

    QVERIFY(test::writeFile(u"sct.txt"_s, "wintype=1\r\ndialurl=\r\ncookiestore=firefox\r\n"
                                          "firefoxprofile=orvane-test\r\ncookiehost=127.0.0.1\r\n"));
    test::FakeNotifier notifier;
    test::FakeDialler dialler;
    Form1 form(test::formServices(desk.winePrefix(), &desk.launcher(), &notifier, &dialler, true));
    QVERIFY_RESULT(form.Form_Load());

    const std::unique_ptr<test::HeadlessBrowser> firefox =
        test::HeadlessBrowser::firefox(profile, home, prefs);
    QVERIFY(firefox->open(u"http://127.0.0.1:"_s + QString::fromLatin1(port) + u"/visit"_s));
    QTRY_COMPARE_WITH_TIMEOUT(desk.displayCalls().size(), 4, 90000);
    firefox->stop();

    const QByteArray total = "\xBE\xDE\xB2\xBA\xD0\xBA\xDE\xB3\xB9\xB2\xB7\xDD\xB6\xDE\xB8     ";
    const QList<QList<QByteArray>> expected{
        {total + QByteArray(13, ' ') + "\\12,345"},
        {QByteArray("\xBA\xDE\xC6\xAD\xB3\xB7\xDD   ") + "   \\10,000" + "\xB5\xC2\xD8\xBE\xDD     " +
         "      \\230"},
        {total + QByteArray(16, ' ') + "\\300"}, // the statement's fee
        {"Welcome"},
    };
    QCOMPARE(desk.displayCalls(), expected);
    QVERIFY(pages.requests.contains("/end"));
    QVERIFY(test::readFile(u"nikkei.txt"_s).startsWith("9_a_2_x?A?1?100?100_x?B?1?200?200_300_"));
    QCOMPARE(QDir(u"prints"_s).entryList({u"*-statement.pdf"_s}, QDir::Files).size(), 1);
    QVERIFY(Form1::caption(form.Label1).startsWith(u"c5"_s)); // the label shows the record's lines
}

QTEST_MAIN(TestFirefox)
#include "tst_firefox.moc"
