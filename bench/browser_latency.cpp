// The delay from a page's cookie set in a real browser (headless) to the display program's start, over
// 20 sets: through Firefox's cookie store (as installed, and with the desk's two preferences) and
// through the extension and its native host (Chromium, Firefox ESR). The page writes the time of each
// set into the cookie; the bridge notes when it starts the display program for it.
#include "base/settings.h"
#include "browser/bridgesocket.h"
#include "channel/commandprocessor.h"
#include "channel/extensionsource.h"
#include "channel/firefoxcookiestore.h"
#include "support/browsers.h"
#include "support/testsupport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

constexpr int kSets = 20;

double nowMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(system_clock::now().time_since_epoch()).count();
}

// Notes the time a display text is shown, against the set time carried in the command.
class TimingLauncher final : public orvane::ProgramLauncher
{
public:
    orvane::Result<> startCommandLine(const QString&, orvane::WindowStyle) override
    {
        delays.append(nowMs() - setAt);
        return {};
    }
    orvane::Result<> startProgram(const QString&, const QStringList&) override { return {}; }
    double setAt = 0;
    QList<double> delays;
};

QList<double> measure(const QByteArray& prefs)
{
    QTemporaryDir dir;
    const QString profile = dir.filePath(QStringLiteral("profile"));
    QDir().mkpath(profile);
    orvane::test::PageServer pages;
    pages.listen();
    pages.setPage(
        "/sets",
        "<!DOCTYPE html><html><body><script>let i = 0;"
        "function next() {"
        "  if (i == " +
            QByteArray::number(kSets) +
            ") return;"
            "  const t = performance.timeOrigin + performance.now();"
            "  document.cookie = 'c' + i + '=wel' + t.toFixed(3) + '; max-age=3600; path=/';"
            "  i++; setTimeout(next, 650 + Math.random() * 100);" // sets fall anywhere between two ticks
            "}"
            "setTimeout(next, 3000);</script></body></html>");
    orvane::FirefoxCookieStore store([&] { return orvane::Result<QString>(profile); });
    (void)store.start();
    TimingLauncher launcher;
    orvane::CookieLines lines;
    const orvane::Settings settings;
    const orvane::CommandHandlers handlers;
    QTimer tick;
    tick.setInterval(100);
    QObject::connect(&tick, &QTimer::timeout, &store, &orvane::FirefoxCookieStore::tick);
    QObject::connect(&store, &orvane::CommandSource::commandArrived,
                     [&](const std::optional<QString>& record) {
                         const QString value = record.value_or(QString()).section(u'\n', 1, 1);
                         launcher.setAt = value.mid(3).toDouble();
                         orvane::ProcessCommandFile(record, lines, settings, launcher, handlers);
                     });
    tick.start();
    const auto firefox =
        orvane::test::HeadlessBrowser::firefox(profile, dir.filePath(QStringLiteral("home")), prefs);
    firefox->open(QStringLiteral("http://127.0.0.1:%1/sets").arg(pages.port()));
    (void)QTest::qWaitFor([&] { return launcher.delays.size() >= kSets; }, 90000); // report() says if not
    firefox->stop();
    return launcher.delays;
}

// The extension's route, on a desk root (scripts/in-desk-root.sh): set up by the installed
// orvane-browser-setup for 127.0.0.1, the browser started as a desk user starts it.
QList<double> measureExtension(bool chromium)
{
    if (const QString why = orvane::test::notOnDeskRoot(); !why.isEmpty()) {
        std::printf("extension: skipped, %s\n", qPrintable(why));
        return {};
    }
    QTemporaryDir dir;
    const QString runtime = dir.filePath(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    if (orvane::test::runBrowserSetup({QStringLiteral("--site"), QStringLiteral("127.0.0.1")}).exitCode != 0)
        return {};
    const auto browser =
        orvane::test::HeadlessBrowser::ofHome(chromium ? orvane::test::HeadlessBrowser::Kind::Chromium
                                                       : orvane::test::HeadlessBrowser::Kind::Firefox,
                                              QDir::homePath());

    orvane::test::PageServer pages;
    pages.listen();
    pages.setPage("/go", "wait");
    pages.setPage(
        "/sets",
        "<!DOCTYPE html><html><body><script>"
        "const sleep = (ms) => new Promise((r) => setTimeout(r, ms));"
        "(async () => {"
        "  const warm = setInterval(() => { document.cookie = 'w=ready' + Date.now() + '; max-age=60; "
        "path=/'; }, 500);"
        "  while ((await (await fetch('/go', {cache: 'no-store'})).text()) !== 'go') await sleep(100);"
        "  clearInterval(warm); await sleep(500);"
        "  for (let i = 0; i < " +
            QByteArray::number(kSets) +
            "; i++) {"
            "    const t = performance.timeOrigin + performance.now();"
            "    document.cookie = 'c=wel' + t.toFixed(3) + '; max-age=3600; path=/';"
            "    await sleep(150 + Math.random() * 100);"
            "  }"
            "})();</script></body></html>");
    TimingLauncher launcher;
    orvane::CookieLines lines;
    const orvane::Settings settings;
    const orvane::CommandHandlers handlers;
    bool warm = false;
    orvane::ExtensionSource source;
    QObject::connect(&source, &orvane::CommandSource::commandArrived,
                     [&](const std::optional<QString>& record) {
                         const QString value = record.value_or(QString()).section(u'\n', 1, 1);
                         if (value.startsWith(u"ready")) {
                             warm = true;
                             return;
                         }
                         launcher.setAt = value.mid(3).toDouble();
                         orvane::ProcessCommandFile(record, lines, settings, launcher, handlers);
                     });
    if (!source.start())
        return {};
    browser->open(QStringLiteral("http://127.0.0.1:%1/sets").arg(pages.port()));
    if (QTest::qWaitFor([&] { return warm; }, 60000)) {
        pages.setPage("/go", "go");
        (void)QTest::qWaitFor([&] { return launcher.delays.size() >= kSets; }, 60000); // report() says if not
    }
    return launcher.delays;
}

void report(const char* what, QList<double> delays)
{
    if (delays.size() < kSets) {
        std::printf("%s: only %lld of %d sets arrived\n", what, qlonglong(delays.size()), kSets);
        return;
    }
    std::sort(delays.begin(), delays.end());
    const auto at = [&](double q) {
        return delays[std::min<qsizetype>(delays.size() - 1, qsizetype(q * delays.size()))];
    };
    std::printf("%s: p50 %.1f ms, p99 %.1f ms, max %.1f ms, min %.1f ms over %lld sets\n", what, at(0.5),
                at(0.99), delays.last(), delays.first(), qlonglong(delays.size()));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (!orvane::test::HeadlessBrowser::installed(orvane::test::HeadlessBrowser::Kind::Firefox)) {
        std::printf("firefox-esr is not installed\n");
        return 0;
    }
    report("Firefox store, as installed", measure({}));
    report("Firefox store, with the two preferences",
           measure("user_pref(\"storage.sqlite.exclusiveLock.enabled\", false);\n"
                   "user_pref(\"network.cookie.db.flushIntervalMs\", 0);\n"));
    if (orvane::test::HeadlessBrowser::installed(orvane::test::HeadlessBrowser::Kind::Chromium))
        report("extension, Chromium", measureExtension(true));
    report("extension, Firefox ESR", measureExtension(false));
    return 0;
}
