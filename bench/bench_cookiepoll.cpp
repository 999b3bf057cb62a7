// One tick of the cookie poller over folders of 1,000 and 10,000 cookie files, none of them new,
// beside the bare opendir/readdir/fstatat loop over the same folder: a tick that must list (something
// in the folder changed) and an idle tick (nothing changed since the last listing).
#include "channel/cookiepoller.h"
#include "channel/firefoxcookiestore.h"

#include <QProcess>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

struct Folder
{
    explicit Folder(int files)
    {
        native = dir.filePath(
            QStringLiteral("wine/drive_c/Users/alice/AppData/Roaming/Microsoft/Windows/Cookies"));
        QDir().mkpath(native);
        for (int i = 0; i < files; ++i) {
            QFile file(QDir(native).filePath(QStringLiteral("alice@site%1[1].txt").arg(i)));
            file.open(QIODevice::WriteOnly);
            file.write("name\nvalue\nsite.example/\n1600\n");
        }
    }
    QTemporaryDir dir;
    QString native;
};

Folder& folderOf(int files)
{
    static Folder small(1000);
    static Folder large(10000);
    return files == 1000 ? small : large;
}

void BM_PollerTick(benchmark::State& state)
{
    Folder& folder = folderOf(int(state.range(0)));
    orvane::CookiePoller poller{orvane::WindowsPathMapper(folder.dir.filePath(QStringLiteral("wine")))};
    const orvane::CookieFolder cookies = orvane::cookieFolder(QStringLiteral("1"), QStringLiteral("alice"));
    qint64 last = 0;
    poller.poll(cookies, last, [](const QString&) {}); // every file is old after the first tick
    int handed = 0;
    for (auto _ : state)
        poller.poll(cookies, last, [&](const QString&) { ++handed; });
    if (handed != 0)
        state.SkipWithError("a file was handed on twice");
}

void BM_PollerTickListing(benchmark::State& state)
{
    Folder& folder = folderOf(int(state.range(0)));
    orvane::CookiePoller poller{orvane::WindowsPathMapper(folder.dir.filePath(QStringLiteral("wine")))};
    const orvane::CookieFolder cookies = orvane::cookieFolder(QStringLiteral("1"), QStringLiteral("alice"));
    qint64 last = 0;
    poller.poll(cookies, last, [](const QString&) {});
    // Setting one file's time to what it already is changes nothing but wakes the change notification.
    const QByteArray touched =
        QFile::encodeName(QDir(folder.native).filePath(QStringLiteral("alice@site0[1].txt")));
    struct stat info;
    stat(touched.constData(), &info);
    const timespec times[2] = {info.st_atim, info.st_mtim};
    int handed = 0;
    for (auto _ : state) {
        state.PauseTiming();
        utimensat(AT_FDCWD, touched.constData(), times, 0);
        state.ResumeTiming();
        poller.poll(cookies, last, [&](const QString&) { ++handed; });
    }
    if (handed != 0)
        state.SkipWithError("a file was handed on twice");
    state.counters["listings"] = double(poller.listings());
}

void BM_BareListing(benchmark::State& state)
{
    Folder& folder = folderOf(int(state.range(0)));
    const QByteArray path = QFile::encodeName(folder.native);
    for (auto _ : state) {
        DIR* dir = opendir(path.constData());
        const int fd = dirfd(dir);
        long newest = 0;
        while (const dirent* entry = readdir(dir)) {
            struct stat info;
            if (entry->d_name[0] != '.' && fstatat(fd, entry->d_name, &info, 0) == 0 &&
                info.st_mtim.tv_sec > newest)
                newest = info.st_mtim.tv_sec;
        }
        closedir(dir);
        benchmark::DoNotOptimize(newest);
    }
}

} // namespace

// An idle tick of the Firefox source: a store of 1,000 cookies that has not changed.
void BM_FirefoxIdleTick(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString store = dir.filePath(QStringLiteral("cookies.sqlite"));
    QByteArray sql =
        "PRAGMA journal_mode=WAL; CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, name TEXT, value TEXT,"
        " host TEXT, path TEXT, expiry INTEGER, lastAccessed INTEGER, creationTime INTEGER,"
        " updateTime INTEGER); BEGIN;";
    for (int i = 0; i < state.range(0); ++i)
        sql += "INSERT INTO moz_cookies (name, value, host, path, expiry, lastAccessed, creationTime, "
               "updateTime)"
               " VALUES ('c" +
               QByteArray::number(i) + "', 'v', 'clinic.example', '/', 1798761600000, 1, " +
               QByteArray::number(1796724000000000LL + i) + ", " +
               QByteArray::number(1796724000000000LL + i) + ");";
    sql += "COMMIT;";
    QProcess sqlite;
    sqlite.start(QStringLiteral("sqlite3"), {store});
    sqlite.write(sql);
    sqlite.closeWriteChannel();
    if (!sqlite.waitForFinished(30000) || sqlite.exitCode() != 0)
        return state.SkipWithError("sqlite3 could not make the store");
    orvane::FirefoxCookieStore source([&] { return orvane::Result<QString>(dir.path()); });
    (void)source.start();
    int records = 0;
    QObject::connect(&source, &orvane::CommandSource::commandArrived, [&] { ++records; });
    for (auto _ : state)
        source.tick();
    if (records != 0)
        state.SkipWithError("an unchanged store handed on records");
}

BENCHMARK(BM_PollerTick)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PollerTickListing)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BareListing)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FirefoxIdleTick)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
