// The delay from a page's cookie set in a real Firefox ESR (headless) to the display program's start
// by the bridge's Firefox source, over 20 sets: with Firefox as installed and with the desk's two
// preferences. The page writes the time of each set into the cookie; the bridge's tick (every 100 ms,
// as the window's) notes when it starts the display program for it.
#include "base/settings.h"
#include "channel/commandprocessor.h"
#include "channel/firefoxcookiestore.h"
#include "support/browsers.h"
#include "support/testsupport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
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
    orvane::LaunchResult startCommandLine(const QString&, orvane::WindowStyle) override
    {
        delays.append(nowMs() - setAt);
        return {};
    }
    orvane::LaunchResult startProgram(const QString&, const QStringList&) override { return {}; }
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
    pages.setPage("/sets", "<!DOCTYPE html><html><body><script>let i = 0;"
                           "function next() {"
                           "  if (i == " + QByteArray::number(kSets) + ") return;"
                           "  const t = performance.timeOrigin + performance.now();"
                           "  document.cookie = 'c' + i + '=wel' + t.toFixed(3) + '; max-age=3600; path=/';"
                           "  i++; setTimeout(next, 650 + Math.random() * 100);"  // sets fall anywhere between two ticks
                           "}"
                           "setTimeout(next, 3000);</script></body></html>");
    orvane::FirefoxCookieStore store([&] { return orvane::FirefoxProfile{profile, {}}; });
    store.start();
    TimingLauncher launcher;
    orvane::CookieLines lines;
    const orvane::Settings settings;
    const orvane::CommandHandlers handlers;
    QTimer tick;
    tick.setInterval(100);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        store.poll([&](const QString& record) {
            const QString value = record.section(u'\n', 1, 1);
            launcher.setAt = value.mid(3).toDouble();
            orvane::processCommandText(record, lines, settings, launcher, handlers);
        });
    });
    tick.start();
    orvane::test::HeadlessFirefox firefox(profile, dir.filePath(QStringLiteral("home")), prefs);
    firefox.open(QStringLiteral("http://127.0.0.1:%1/sets").arg(pages.port()));
    (void)QTest::qWaitFor([&] { return launcher.delays.size() >= kSets; }, 90000); // report() says if not
    firefox.stop();
    return launcher.delays;
}

void report(const char* what, QList<double> delays)
{
    if (delays.size() < kSets) {
        std::printf("%s: only %lld of %d sets arrived\n", what, qlonglong(delays.size()), kSets);
        return;
    }
    std::sort(delays.begin(), delays.end());
    const auto at = [&](double q) { return delays[std::min<qsizetype>(delays.size() - 1, qsizetype(q * delays.size()))]; };
    std::printf("%s: p50 %.1f ms, p99 %.1f ms, max %.1f ms, min %.1f ms over %lld sets\n", what, at(0.5),
                at(0.99), delays.last(), delays.first(), qlonglong(delays.size()));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (!orvane::test::HeadlessFirefox::installed()) {
        std::printf("firefox-esr is not installed\n");
        return 0;
    }
    report("Firefox as installed", measure({}));
    report("with the two preferences", measure("user_pref(\"storage.sqlite.exclusiveLock.enabled\", false);\n"
                                               "user_pref(\"network.cookie.db.flushIntervalMs\", 0);\n"));
    return 0;
}
