#include "support/browsers.h"
#include "support/desk.h"
#include "support/formservices.h"
#include "support/pdftext.h"
#include "window/form1.h"

#include <QDateTime>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace orvane;

namespace {

// The bridge's warnings about commands that arrived too late, and its lines about browsers that
// connected, noted as they are written.
QStringList& lateWarnings()
{
    static QStringList warnings;
    return warnings;
}
QStringList& connections()
{
    static QStringList lines;
    return lines;
}

QtMessageHandler testHandler = nullptr;

// Why a browser's test cannot run here, or empty when it can: the browser and the desk root it needs.
QString whyNotHere(test::HeadlessBrowser::Kind kind)
{
    if (!test::HeadlessBrowser::installed(kind))
        return u"the browser is not installed; the extension is not tested with it here"_s;
    return test::notOnDeskRoot();
}

// The bridge's runtime folder (its socket) inside the desk while this lives.
class RuntimeFolder
{
public:
    explicit RuntimeFolder(const test::Desk& desk) : m_saved(qgetenv("XDG_RUNTIME_DIR"))
    {
        const QString folder = desk.filePath(u"runtime"_s);
        QDir().mkpath(folder);
        QFile::setPermissions(folder,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder));
    }
    ~RuntimeFolder() { qputenv("XDG_RUNTIME_DIR", m_saved); }
    RuntimeFolder(const RuntimeFolder&) = delete;
    RuntimeFolder& operator=(const RuntimeFolder&) = delete;

private:
    QByteArray m_saved;
};

void noteBridgeLines(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.contains(u"arrived late"))
        lateWarnings().append(message);
    if (message.startsWith(u"browser connected"))
        connections().append(message);
    if (testHandler)
        testHandler(type, context, message);
}

} // namespace

// The browser extension and its native host on a desk the package was installed on, set up by
// orvane-browser-setup, in real headless Chromium and Firefox ESR started as a desk user starts them:
// a page on 127.0.0.1 drives the bridge, and a change of sites reaches the profile.
class TestExtension : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void drivesTheBridgeFromAPage_data();
    void drivesTheBridgeFromAPage();
    void takesOnlyTheCommandCookie_data();
    void takesOnlyTheCommandCookie();
    void answersThePage_data();
    void answersThePage();
    void setsUpWithoutLitter();
    void keepsTheDesksFirefoxPolicies_data();
    void keepsTheDesksFirefoxPolicies();
    void goesWithThePackage(); // last: it purges the package

private:
    static QByteArray page(const QByteArray& script);
    static test::SetupRun setUpInto(const QString& out, const QStringList& more,
                                    const QProcessEnvironment& env);
};

void TestExtension::initTestCase()
{
    if (!test::notOnDeskRoot().isEmpty())
        return;
    // The package's autostart entry is where sessions read it and starts a program on PATH.
    const QByteArray entry = test::readFile(u"/etc/xdg/autostart/orvane.desktop"_s);
    QVERIFY2(entry.contains("\nExec=orvane-desk\n"), entry.constData());
    QCOMPARE(QStandardPaths::findExecutable(u"orvane-desk"_s), u"/usr/bin/orvane-desk"_s);
    // A desk user who has not opened a browser yet.
    QCOMPARE(QProcess::execute(u"useradd"_s, {u"--create-home"_s, u"--uid"_s, u"1500"_s, u"orvanedesk"_s}),
             0);
}

QByteArray TestExtension::page(const QByteArray& script)
{
    // go(name): waits until the test opens the gate of that name.
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body><script>"
           "const sleep = (ms) => new Promise((r) => setTimeout(r, ms));"
           "const set = (v) => { document.cookie = 'uketsuke=' + v + '; max-age=3600; path=/'; };"
           "async function go(name) {"
           "  while ((await (await fetch('/' + name, {cache: 'no-store'})).text()) !== 'go') await "
           "sleep(100);"
           "}" +
           script + "</script></body></html>";
}

void TestExtension::drivesTheBridgeFromAPage_data()
{
    QTest::addColumn<bool>("chromium");
    QTest::addColumn<QString>("profile");
    QTest::addColumn<QString>("hostManifest");
    QTest::newRow("Chromium") << true << u"/.config/chromium/Default"_s
                              << u"/etc/chromium/native-messaging-hosts/orvane.bridge.json"_s;
    QTest::newRow("Firefox ESR") << false << u"/.config/mozilla/firefox/desk.default-esr"_s
                                 << u"/usr/lib/mozilla/native-messaging-hosts/orvane.bridge.json"_s;
}

void TestExtension::drivesTheBridgeFromAPage()
{
    QFETCH(bool, chromium);
    QFETCH(QString, profile);
    QFETCH(QString, hostManifest);
    const auto kind = chromium ? test::HeadlessBrowser::Kind::Chromium : test::HeadlessBrowser::Kind::Firefox;
    if (const QString why = whyNotHere(kind); !why.isEmpty())
        QSKIP(qPrintable(why));
    test::Desk desk;
    const RuntimeFolder runtime(desk);

    // Set up as a desk is, for the web system on 127.0.0.1 alone. The bridge takes every site's commands
    // (no cookiehost), so that localhost's are held back by the extension itself.
    test::SetupRun run = test::runBrowserSetup({u"--site"_s, u"127.0.0.1"_s});
    QVERIFY2(run.exitCode == 0, qPrintable(run.output));
    QCOMPARE(QFileInfo(u"/etc/orvane/extension-key.pem"_s).permissions() & 0x0077, 0);
    const QString home = QDir::homePath();
    std::unique_ptr<test::HeadlessBrowser> browser = test::HeadlessBrowser::ofHome(kind, home);

    test::PageServer pages;
    QVERIFY(pages.listen());
    const QByteArray port = QByteArray::number(pages.port());
    for (const char* gate : {"/ready", "/down", "/back"})
        pages.setPage(gate, "wait");
    pages.setPage("/visit",
                  page("(async () => {"
                       // Welcome until the bridge has shown one: then the extension is running.
                       "  set('wel'); const warm = setInterval(() => set('wel'), 700);"
                       "  await go('ready'); clearInterval(warm); await sleep(800);"
                       "  for (let i = 1; i <= 5; i++) { set('Total' + i); await sleep(300); }"
                       "  set('nykin10000/230'); await sleep(100); set('Total12345'); await sleep(300);"
                       "  set('prt9_a_2_x?A?1?100?100_x?B?1?200?200_300_0_300_0_1_x_0_0_y_0_2026-12-08_0');"
                       "  await sleep(300);"
                       "  document.cookie = 'uketsuke=; max-age=0; path=/';" // a deletion
                       "  await sleep(300);"
                       "  location.href = 'http://localhost:" +
                       port +
                       "/other';"
                       "})();"));
    pages.setPage("/other", page("(async () => { set('Total999'); await sleep(500);"
                                 "  location.href = 'http://127.0.0.1:" +
                                 port + "/end'; })();"));
    pages.setPage("/end", page("(async () => { set('wel'); await go('down'); set('Total777');"
                               "  await go('back'); set('wel'); })();"));

    QVERIFY(test::writeFile(u"sct.txt"_s, "wintype=1\r\ndialurl=\r\ncookiestore=extension\r\n"));
    test::FakeNotifier notifier;
    test::FakeDialler dialler;
    connections().clear();
    testHandler = qInstallMessageHandler(noteBridgeLines);
    const auto uninstall = qScopeGuard([] { qInstallMessageHandler(testHandler); });
    auto form = std::make_unique<Form1>(
        test::formServices(desk.winePrefix(), &desk.launcher(), &notifier, &dialler, true));
    QVERIFY_RESULT(form->Form_Load());

    QVERIFY(browser->open(u"http://127.0.0.1:"_s + QString::fromLatin1(port) + u"/visit"_s));
    const QByteArray total = "\xBE\xDE\xB2\xBA\xD0\xBA\xDE\xB3\xB9\xB2\xB7\xDD\xB6\xDE\xB8     ";
    const QList<QByteArray> statementTotal{total + QByteArray(16, ' ') + "\\300"};
    QTRY_VERIFY_WITH_TIMEOUT(!desk.displayCalls().isEmpty(), 60000); // a "wel" came through
    // The host said which browser came, with which extension.
    QVERIFY2(!connections().isEmpty(), "no browser connected");
    QCOMPARE(connections().first(), (chromium ? u"browser connected: Chromium with the extension 1.1"_s
                                              : u"browser connected: Firefox with the extension 1.1"_s));
    pages.setPage("/ready", "go");
    QTRY_VERIFY_WITH_TIMEOUT(desk.displayCalls().contains(statementTotal) &&
                                 desk.displayCalls().last() == QList<QByteArray>{"Welcome"},
                             30000);

    // The bridge goes down; a command set meanwhile must not run late when it is back.
    form.reset();
    const qsizetype asked = pages.requests.count("/down");
    pages.setPage("/down", "go");
    QTRY_VERIFY(pages.requests.count("/down") > asked); // the page goes on and sets its command now
    // The bridge comes back with its clock three seconds on, so the command reaches it more than two
    // seconds late; the clock is right again once the bridge has turned it away.
    bool late = true;
    FormServices services =
        test::formServices(desk.winePrefix(), &desk.launcher(), &notifier, &dialler, true);
    services.makeCommandSource = [&late, mapper = services.mapper](const Settings& settings,
                                                                   const QString& user) {
        return makeCommandSource(settings, user, mapper,
                                 [&late] { return QDateTime::currentMSecsSinceEpoch() + (late ? 3000 : 0); });
    };
    lateWarnings().clear();
    form = std::make_unique<Form1>(services);
    QVERIFY_RESULT(form->Form_Load());
    // Turned away, and said so (in one CI run twice for one set on the
    // page: not understood yet); that nothing ran late or twice is checked in full below.
    QTRY_VERIFY_WITH_TIMEOUT(!lateWarnings().isEmpty(), 30000);
    late = false;
    pages.setPage("/back", "go");
    const qsizetype before = desk.displayCalls().size();
    QTRY_COMPARE_WITH_TIMEOUT(desk.displayCalls().size(), before + 1, 30000);

    // The warm-up showed one or more welcomes; then everything in order, each once.
    QList<QList<QByteArray>> calls = desk.displayCalls();
    while (calls.size() > 1 && calls[0] == QList<QByteArray>{"Welcome"} &&
           calls[1] == QList<QByteArray>{"Welcome"})
        calls.removeFirst();
    QList<QList<QByteArray>> expected{{"Welcome"}};
    for (int i = 1; i <= 5; ++i)
        expected.append({total + QByteArray(18, ' ') + "\\" + QByteArray::number(i)});
    expected.append({QByteArray("\xBA\xDE\xC6\xAD\xB3\xB7\xDD   ") + "   \\10,000" +
                     "\xB5\xC2\xD8\xBE\xDD     " + "      \\230"});
    expected.append({total + QByteArray(13, ' ') + "\\12,345"});
    expected.append(statementTotal);
    expected.append({"Welcome"}); // the end page: nothing from localhost, nothing from the deletion
    expected.append({"Welcome"}); // after the restart: the command set while the bridge was down is gone
    QCOMPARE(calls, expected);
    QVERIFY(test::readFile(u"nikkei.txt"_s).startsWith("9_a_2_x?A?1?100?100_"));
    QCOMPARE(QDir(u"prints"_s).entryList({u"*-statement.pdf"_s}, QDir::Files).size(), 1);

    // The IT person's check passes with this profile in place and a desk user who never opened a
    // browser; it fails once a host manifest is gone.
    browser->stop();
    run = test::runBrowserSetup({u"--check"_s});
    QVERIFY2(run.exitCode == 0, qPrintable(run.output));
    QVERIFY2(
        run.output.contains(u"in place: root, profile "_s + home + profile + u" (extension 1.1, active)"_s),
        qPrintable(run.output));
    QVERIFY2(run.output.contains(u"not opened yet: orvanedesk (/home/orvanedesk)"_s), qPrintable(run.output));
    QVERIFY(QFile::remove(hostManifest));
    run = test::runBrowserSetup({u"--check"_s});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.output.contains(u"NOT IN PLACE: host manifest "_s + hostManifest), qPrintable(run.output));

    // The sites change: localhost joins. At the next start of the same profile a command of a site it
    // had is carried out at once, and localhost's once the browser hands the extension its policy.
    run = test::runBrowserSetup({u"--site"_s, u"127.0.0.1"_s, u"--site"_s, u"localhost"_s});
    QVERIFY2(run.exitCode == 0, qPrintable(run.output));
    pages.setPage("/added", "wait");
    pages.setPage("/next", page("set('Total4242'); setTimeout(() => { location.href = 'http://localhost:" +
                                port + "/new'; }, 300);"));
    pages.setPage(
        "/new", page("(async () => { const warm = setInterval(() => set('wel'), 700);"
                     "  await go('added'); clearInterval(warm); await sleep(800); set('Total5151'); })();"));
    const QList<QByteArray> first{total + QByteArray(14, ' ') + "\\4,242"};
    const qsizetype shown = desk.displayCalls().size();
    browser = test::HeadlessBrowser::ofHome(kind, home);
    QVERIFY(browser->open(u"http://127.0.0.1:"_s + QString::fromLatin1(port) + u"/next"_s));
    QTRY_VERIFY_WITH_TIMEOUT(desk.displayCalls().size() > shown + 1, 60000); // a welcome from localhost
    pages.setPage("/added", "go");
    const QList<QByteArray> second{total + QByteArray(14, ' ') + "\\5,151"};
    QTRY_COMPARE_WITH_TIMEOUT(desk.displayCalls().last(), second, 30000);
    QCOMPARE(desk.displayCalls().mid(shown, 2), (QList<QList<QByteArray>>{first, {"Welcome"}}));
}

void TestExtension::takesOnlyTheCommandCookie_data()
{
    drivesTheBridgeFromAPage_data();
}

void TestExtension::takesOnlyTheCommandCookie()
{
    // With the command cookie named in the policy, the site's other cookies (a CSRF token a page sets,
    // the server's HttpOnly session) never leave the browser: the bridge here takes every cookie as a
    // command, and would print their receipts. A double click prints once; a malformed receipt prints
    // nothing and uses no number.
    QFETCH(bool, chromium);
    const auto kind = chromium ? test::HeadlessBrowser::Kind::Chromium : test::HeadlessBrowser::Kind::Firefox;
    if (const QString why = whyNotHere(kind); !why.isEmpty())
        QSKIP(qPrintable(why));
    test::Desk desk;
    const RuntimeFolder runtime(desk);
    test::SetupRun run = test::runBrowserSetup({u"--site"_s, u"127.0.0.1"_s, u"--cookie"_s, u"uketsuke"_s});
    QVERIFY2(run.exitCode == 0, qPrintable(run.output));

    test::PageServer pages;
    QVERIFY(pages.listen());
    pages.setPage("/ready", "wait");
    pages.setCookieOf("/visit", "sessionid=rsh2Z/1000; HttpOnly; Max-Age=3600; Path=/");
    pages.setPage("/visit",
                  page("(async () => {"
                       "  set('wel'); const warm = setInterval(() => set('wel'), 700);"
                       "  await go('ready'); clearInterval(warm);"
                       "  await sleep(4000);" // the policy read, in Chromium a few seconds after its start
                       "  document.cookie = 'csrftoken=rsh2Z/1000; max-age=3600; path=/'; await sleep(300);"
                       "  set('Total1'); await sleep(300);"
                       "  set('rsh山田/1000/80/3'); set('rsh山田/1000/80/3'); await sleep(300);"
                       "  set('rsh山田'); await sleep(300);"
                       "  set('Total2');"
                       "})();"));
    QVERIFY(test::writeFile(u"sct.txt"_s, "wintype=1\r\ndialurl=\r\ncookiestore=extension\r\n"));
    test::FakeNotifier notifier;
    test::FakeDialler dialler;
    auto form = std::make_unique<Form1>(
        test::formServices(desk.winePrefix(), &desk.launcher(), &notifier, &dialler, true));
    QVERIFY_RESULT(form->Form_Load());
    std::unique_ptr<test::HeadlessBrowser> browser = test::HeadlessBrowser::ofHome(kind, QDir::homePath());
    QVERIFY(browser->open(u"http://127.0.0.1:"_s + QString::number(pages.port()) + u"/visit"_s));
    QTRY_VERIFY_WITH_TIMEOUT(!desk.displayCalls().isEmpty(), 60000);
    pages.setPage("/ready", "go");
    const QByteArray total = "\xBE\xDE\xB2\xBA\xD0\xBA\xDE\xB3\xB9\xB2\xB7\xDD\xB6\xDE\xB8     ";
    const QList<QByteArray> last{total + QByteArray(18, ' ') + "\\2"};
    QTRY_VERIFY_WITH_TIMEOUT(!desk.displayCalls().isEmpty() && desk.displayCalls().last() == last, 30000);
    browser->stop();

    QList<QList<QByteArray>> calls = desk.displayCalls();
    calls.removeAll(QList<QByteArray>{"Welcome"});
    QCOMPARE(calls, (QList<QList<QByteArray>>{{total + QByteArray(18, ' ') + "\\1"}, last}));
    const QStringList receipts = QDir(u"prints"_s).entryList({u"*-receipt.pdf"_s}, QDir::Files);
    QStringList printed; // each receipt's words, to say which one came too many
    for (const QString& receipt : receipts) {
        QStringList words;
        for (const test::PdfWord& word : test::readPdfWords(u"prints/"_s + receipt))
            words.append(word.text);
        printed.append(words.join(u' '));
    }
    QVERIFY2(receipts.size() == 1, qPrintable(printed.join(u" | "_s)));    // the double click prints once
    QCOMPARE(test::readFile(u"counter.txt"_s).trimmed(), QByteArray("1")); // one number used
    QCOMPARE(notifier.messages.size(), 1);                                 // the malformed one
    QVERIFY2(notifier.messages.first().text.contains(u"領収書の金額がありません"_s),
             qPrintable(notifier.messages.first().text));
    // Neither the CSRF token nor the session cookie reached the native host.
    const QByteArray log = test::readFile(browser->logPath());
    QVERIFY2(!log.contains("HttpOnly") && !log.contains("csrftoken"), log.right(2000).constData());
}

void TestExtension::answersThePage_data()
{
    drivesTheBridgeFromAPage_data();
}

void TestExtension::answersThePage()
{
    // The package's page helper, served as the web system serves its copy: it refuses what the cookie
    // cannot carry, resolves with each command's outcome, rejects while the bridge is stopped; then the
    // package's test page tries every key.
    QFETCH(bool, chromium);
    const auto kind = chromium ? test::HeadlessBrowser::Kind::Chromium : test::HeadlessBrowser::Kind::Firefox;
    if (const QString why = whyNotHere(kind); !why.isEmpty())
        QSKIP(qPrintable(why));
    test::Desk desk;
    const RuntimeFolder runtime(desk);
    test::SetupRun run = test::runBrowserSetup({u"--site"_s, u"127.0.0.1"_s, u"--cookie"_s, u"uketsuke"_s});
    QVERIFY2(run.exitCode == 0, qPrintable(run.output));
    const QString viewer = desk.winePrefix() + u"/drive_c/Program Files/Halden/Pictora"_s;
    QVERIFY(QDir().mkpath(viewer));
    test::writeRecordingProgram(viewer, u"Pictora"_s, desk.filePath(u"viewer.log"_s));

    test::PageServer pages;
    QVERIFY(pages.listen());
    pages.setPage("/orvane.js", test::readFile(u"/usr/share/orvane/web/orvane.js"_s));
    pages.setPage("/test.html", test::readFile(u"/usr/share/orvane/web/test.html"_s));
    for (const char* gate : {"/down", "/back"})
        pages.setPage(gate, "wait");
    // report(what): the page's word to the test, as a request the server notes.
    pages.setPage(
        "/answers",
        "<!DOCTYPE html><meta charset=\"utf-8\"><script type=\"module\">"
        "import * as orvane from './orvane.js';"
        "const sleep = (ms) => new Promise((r) => setTimeout(r, ms));"
        "const report = (what) => fetch('/report/' + encodeURIComponent(JSON.stringify(what)));"
        "async function go(name) {"
        "  while ((await (await fetch('/' + name, {cache: 'no-store'})).text()) !== 'go') await sleep(100);"
        "}"
        "const outcome = (p) => p.then((o) => o, (e) => ({rejected: e.name}));"
        "orvane.configure({cookie: 'uketsuke'});"
        "(async () => {"
        "  for (let i = 0; i < 20; i++) if ((await outcome(orvane.welcome())).ok) break;"
        "  await report({semicolon: await outcome(orvane.receipt({name: '山田;', amount: 1000}))});"
        "  await report({receipt: await outcome(orvane.receipt({name: '山田', amount: 1000, tax: 80}))});"
        "  await report({statement: await outcome(orvane.statement({number: 9, addressee: 'a', fee: 300,"
        "    items: [{unit: '回', name: 'A', quantity: 1, price: 300, amount: 300}], date: '2026-13-40'}))});"
        "  await go('down');"
        "  await report({stopped: await outcome(orvane.total(777))});"
        "  await go('back');"
        "  location.href = '/test.html?cookie=uketsuke&all';"
        "})();"
        "</script>");

    QVERIFY(test::writeFile(u"sct.txt"_s, "wintype=1\r\ndialurl=\r\ncookiestore=extension\r\n"));
    test::FakeNotifier notifier;
    test::FakeDialler dialler;
    const auto makeForm = [&] {
        auto form = std::make_unique<Form1>(
            test::formServices(desk.winePrefix(), &desk.launcher(), &notifier, &dialler, true));
        return form->Form_Load() ? std::move(form) : nullptr;
    };
    std::unique_ptr<Form1> form = makeForm();
    QVERIFY(form);
    std::unique_ptr<test::HeadlessBrowser> browser = test::HeadlessBrowser::ofHome(kind, QDir::homePath());
    QVERIFY(browser->open(u"http://127.0.0.1:"_s + QString::number(pages.port()) + u"/answers"_s));
    const auto reported = [&](const char* key) {
        for (const QByteArray& request : std::as_const(pages.requests))
            if (request.startsWith("/report/")) {
                const QJsonObject report =
                    QJsonDocument::fromJson(QByteArray::fromPercentEncoding(request.mid(8))).object();
                if (report.contains(QLatin1String(key)))
                    return report.value(QLatin1String(key)).toObject();
            }
        return QJsonObject();
    };
    QTRY_VERIFY_WITH_TIMEOUT(!reported("statement").isEmpty(), 90000);
    QCOMPARE(reported("semicolon").value(u"rejected"_s).toString(), u"OrvaneCommandError"_s);
    const QJsonObject receipt = reported("receipt");
    QVERIFY2(receipt.value(u"ok"_s).toBool(), QJsonDocument(receipt).toJson().constData());
    QCOMPARE(receipt.value(u"name"_s).toString(), u"uketsuke"_s);
    QCOMPARE(receipt.value(u"value"_s).toString(), u"rsh山田様/1000/80/"_s);
    const QJsonObject statement = reported("statement");
    QCOMPARE(statement.value(u"ok"_s), QJsonValue(false));
    QCOMPARE(statement.value(u"reason"_s).toString(), u"bad-command"_s);
    QCOMPARE(statement.value(u"text"_s).toString(), u"明細書の日付「2026-13-40」を日付として読めません"_s);
    // The staff's status keeps it too (orvane --status), and names the browser connected.
    QCOMPARE(form->deskStatus().toJson()[u"refused"_s][u"key"_s].toString(), u"prt"_s);
    const QString connected =
        (chromium ? u"Chromium"_s : u"Firefox"_s) + u" (拡張機能 1.1) が接続しています"_s;
    QCOMPARE(form->deskStatus().device(Device::Browser).text, connected);

    form.reset();
    pages.setPage("/down", "go");
    QTRY_VERIFY_WITH_TIMEOUT(!reported("stopped").isEmpty(), 10000);
    QVERIFY2(reported("stopped").contains(u"rejected"_s),
             QJsonDocument(reported("stopped")).toJson().constData());

    // The test page, every key once its outcome is in.
    form = makeForm();
    QVERIFY(form);
    // The bridge started again knows the browser before any command.
    QTRY_COMPARE(form->deskStatus().device(Device::Browser).text, connected);
    const qsizetype shown = desk.displayCalls().size();
    pages.setPage("/back", "go");
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(desk.filePath(u"viewer.log"_s)), 60000);
    browser->stop();
    QTRY_COMPARE(form->deskStatus().device(Device::Browser).reason, u"none-connected"_s);
    const QByteArray total = "\xBE\xDE\xB2\xBA\xD0\xBA\xDE\xB3\xB9\xB2\xB7\xDD\xB6\xDE\xB8     ";
    QCOMPARE(
        desk.displayCalls().mid(shown),
        (QList<QList<QByteArray>>{{total + QByteArray(13, ' ') + "\\12,345"},
                                  {"Welcome"},
                                  {QByteArray("\xBA\xDE\xC6\xAD\xB3\xB7\xDD   ") + "   \\10,000" +
                                   "\xB5\xC2\xD8\xBE\xDD     " + "      \\230"},
                                  {QByteArray("IDA0017       \\1,500\xBD\xB3\xD8\xAE\xB3    2    \\3,000")},
                                  {total + QByteArray(14, ' ') + "\\4,500"}}));
    QCOMPARE(QDir(u"prints"_s).entryList({u"*-receipt.pdf"_s}, QDir::Files).size(), 2);
    QCOMPARE(QDir(u"prints"_s).entryList({u"*-statement.pdf"_s}, QDir::Files).size(), 1);
    QCOMPARE(dialler.numbers, QStringList{u"117"_s});
    QCOMPARE(notifier.messages.size(), 1); // the refused statement
}

// orvane-browser-setup as built, every folder inside out; its output (both streams).
test::SetupRun TestExtension::setUpInto(const QString& out, const QStringList& more,
                                        const QProcessEnvironment& env)
{
    const QString source = qEnvironmentVariable("ORVANE_SOURCE_DIR");
    return test::runBrowserSetup(
        QStringList{u"--site"_s, u"127.0.0.1"_s, u"--host"_s, test::builtProgram(u"orvane-browser-host"_s),
                    u"--extension"_s, source + u"/extension"_s, u"--key-dir"_s, out + u"/key"_s, u"--out"_s,
                    out + u"/browser"_s, u"--chromium-policy-dir"_s, out + u"/cp"_s,
                    u"--chromium-hosts-dir"_s, out + u"/ch"_s, u"--firefox-policy-dir"_s, out + u"/fp"_s,
                    u"--firefox-hosts-dir"_s, out + u"/fh"_s} +
            more,
        test::builtProgram(u"orvane-browser-setup"_s), env);
}

void TestExtension::setsUpWithoutLitter()
{
    // The set-up as a desk runs it, the CRX packed by Chromium, with its own home and temporary folder
    // watched: it names every file it wrote and leaves nothing behind in either.
    QTemporaryDir dir;
    const QString home = dir.filePath(u"home"_s), tmp = dir.filePath(u"tmp"_s);
    QVERIFY(QDir().mkpath(home) && QDir().mkpath(tmp));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"HOME"_s, home);
    env.insert(u"TMPDIR"_s, tmp);
    const QString out = dir.filePath(u"out"_s);
    const test::SetupRun run = setUpInto(out, {}, env);
    QVERIFY2(run.exitCode == 0, qPrintable(run.output));
    for (const QString& file :
         {u"/key/extension-key.pem"_s, u"/browser/orvane-bridge-1.1.crx"_s,
          u"/browser/orvane-bridge-1.1.xpi"_s, u"/cp/orvane.json"_s, u"/fp/policies.json"_s,
          u"/ch/orvane.bridge.json"_s, u"/fh/orvane.bridge.json"_s}) {
        QVERIFY2(run.output.contains(u"  "_s + QDir(out).canonicalPath() + file), qPrintable(run.output));
        QVERIFY(QFile::exists(out + file));
    }
    QCOMPARE(QDir(home).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    QCOMPARE(QDir(tmp).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    QVERIFY(!QFile::exists(out + u"/browser/.packing"_s));
}

void TestExtension::keepsTheDesksFirefoxPolicies_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("merged")
        << QByteArray(R"({"policies": {"DisableTelemetry": true,
        "3rdparty": {"Extensions": {"orvane-bridge@orvane.invalid": {"sites": ["old.example"]}, "x@y": {"a": 1}}}}})")
        << 0
        << QByteArray(R"({"policies":{"3rdparty":{"Extensions":{"orvane-bridge@orvane.invalid":)"
                      R"({"cookie":"","sites":["127.0.0.1"]},"x@y":{"a":1}}},"DisableTelemetry":true,)"
                      R"("ExtensionSettings":{"orvane-bridge@orvane.invalid":)"
                      R"({"install_url":"file://OUT/browser/orvane-bridge-1.1.xpi",)"
                      R"("installation_mode":"force_installed"}},"Preferences":)"
                      R"({"xpinstall.signatures.required":{"Status":"locked","Value":false}}}})");
    QTest::newRow("not JSON") << QByteArray("{\"policies\": ") << 1 << QByteArray("{\"policies\": ");
}

void TestExtension::keepsTheDesksFirefoxPolicies()
{
    // The desk's own Firefox policies stay; ours replace what an earlier run wrote. A file that cannot
    // be read stops the set-up before it writes anything.
    QFETCH(QByteArray, before);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, after);
    QTemporaryDir dir;
    const QString out = QDir(dir.path()).canonicalPath();
    const QString policies = out + u"/fp/policies.json"_s;
    QVERIFY(QDir().mkpath(out + u"/fp"_s) && test::writeFile(policies, before));
    const test::SetupRun run = setUpInto(out, {u"--no-crx"_s}, QProcessEnvironment::systemEnvironment());
    QVERIFY2(run.exitCode == exitCode, qPrintable(run.output));
    const QByteArray written = test::readFile(policies);
    const QByteArray expected = QByteArray(after).replace("OUT", out.toUtf8());
    if (exitCode == 0)
        QCOMPARE(QJsonDocument::fromJson(written), QJsonDocument::fromJson(expected));
    else
        QCOMPARE(written, expected);
    QCOMPARE(QFile::exists(out + u"/key"_s), exitCode == 0);
}

void TestExtension::goesWithThePackage()
{
    // What the set-up wrote goes when the package is removed, the desk key with the purge; the desk's
    // own Firefox policy stays.
    if (const QString why = test::notOnDeskRoot(); !why.isEmpty())
        QSKIP(qPrintable(why));
    const QString policies = u"/etc/firefox/policies/policies.json"_s;
    QVERIFY(test::writeFile(policies, R"({"policies": {"DisableTelemetry": true}})"));
    const test::SetupRun run = test::runBrowserSetup({u"--site"_s, u"127.0.0.1"_s});
    QVERIFY2(run.exitCode == 0, qPrintable(run.output));
    QCOMPARE(QProcess::execute(u"dpkg"_s, {u"--purge"_s, u"orvane"_s}), 0);
    for (const QString& gone : {u"/etc/chromium/policies/managed/orvane.json"_s,
                                u"/etc/chromium/native-messaging-hosts/orvane.bridge.json"_s,
                                u"/usr/lib/mozilla/native-messaging-hosts/orvane.bridge.json"_s,
                                u"/var/lib/orvane"_s, u"/etc/orvane"_s, u"/usr/bin/orvane-browser-host"_s})
        QVERIFY2(!QFileInfo::exists(gone), qPrintable(gone));
    QCOMPARE(QJsonDocument::fromJson(test::readFile(policies)),
             QJsonDocument::fromJson(R"({"policies": {"DisableTelemetry": true}})"));
}

QTEST_MAIN(TestExtension)
#include "tst_extension.moc"
