#include "support/testsupport.h"
#include "support/virtualscreen.h"

#include <QDir>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace orvane;

// The bridge in a real X window (a virtual screen started here), its buttons clicked as staff click
// them.
class TestX11 : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void clicksTheButtons();
    void looksTheSameAtAnyDesktopFontSetting();

private:
    QString run(const QString& program, const QStringList& arguments);
    // ImageMagick's count of the pixels in which two pictures differ.
    static QString differingPixels(const QString& a, const QString& b);

    std::unique_ptr<test::VirtualScreen> m_screen;
    QString m_display;
    QTemporaryDir m_dir;
};

void TestX11::initTestCase()
{
    m_screen = std::make_unique<test::VirtualScreen>();
    m_display = m_screen->display();
    QVERIFY2(!m_display.isEmpty(), "Xvfb is not installed or did not start");
}

void TestX11::cleanupTestCase()
{
    m_screen.reset();
}

QString TestX11::run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"DISPLAY"_s, m_display);
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    if (!process.waitForFinished(15000))
        return {};
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

QString TestX11::differingPixels(const QString& a, const QString& b)
{
    QProcess compare;
    compare.start(u"compare"_s, {u"-metric"_s, u"AE"_s, a, b, u"null:"_s});
    compare.waitForFinished(15000);
    return QString::fromLatin1(compare.readAllStandardError()).trimmed(); // the count goes to stderr
}

void TestX11::clicksTheButtons()
{
    const QString log = m_dir.filePath(u"xdg-open.log"_s);
    QDir().mkpath(m_dir.filePath(u"bin"_s));
    test::writeRecordingProgram(m_dir.filePath(u"bin"_s), u"xdg-open"_s, log);
    QVERIFY(test::writeFile(m_dir.filePath(u"sct.txt"_s), "wintype=1\r\ndialurl=\r\n"));
    QVERIFY(test::writeFile(m_dir.filePath(u"nikkei.txt"_s), "yesterday\r\n"));

    QProcess bridge;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(u"QT_QPA_PLATFORM"_s);
    env.insert(u"DISPLAY"_s, m_display);
    env.insert(u"WINEPREFIX"_s, m_dir.filePath(u"wine"_s));
    env.insert(u"PATH"_s, m_dir.filePath(u"bin"_s) + u':' + env.value(u"PATH"_s));
    bridge.setProcessEnvironment(env);
    bridge.setWorkingDirectory(m_dir.path());
    bridge.start(test::builtProgram(u"orvane"_s), {});
    QVERIFY(bridge.waitForStarted());

    const QString window =
        run(u"xdotool"_s, {u"search"_s, u"--sync"_s, u"--name"_s, u"^Form1$"_s}).section(u'\n', 0, 0);
    QVERIFY2(!window.isEmpty(), "no window named Form1");
    // Design positions in twips, 15 to a pixel: the centre of each button.
    const auto click = [&](int left, int top, int width, int height) {
        run(u"xdotool"_s, {u"mousemove"_s, u"--window"_s, window, QString::number((left + width / 2) / 15),
                           QString::number((top + height / 2) / 15), u"click"_s, u"1"_s});
    };
    click(120, 480, 1335, 375); // 日計スタート
    QTRY_COMPARE(QFileInfo(m_dir.filePath(u"nikkei.txt"_s)).size(), 0);
    QCOMPARE(test::readFile(m_dir.filePath(u"nikkei.bak"_s)), QByteArray("yesterday\r\n"));

    click(2160, 1320, 975, 375); // 電話呼出, with the hint text still in the box
    QTRY_COMPARE(test::readRecordedCalls(log).size(), 1);
    QCOMPARE(test::readRecordedCalls(log).first(),
             QList<QByteArray>{QByteArray("tel:") + u"ココに電話番号入力"_s.toUtf8()});

    bridge.terminate();
    QVERIFY(bridge.waitForFinished(5000));
}

void TestX11::looksTheSameAtAnyDesktopFontSetting()
{
    QVERIFY(test::writeFile(m_dir.filePath(u"sct.txt"_s), "wintype=1\r\ndialurl=\r\n"));
    const auto screenshot = [&](const QString& fontDpi) {
        QProcess bridge;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(u"QT_QPA_PLATFORM"_s);
        env.insert(u"DISPLAY"_s, m_display);
        // The desktop's font setting: fonts in points grow with it, the window's layout does not.
        env.insert(u"QT_FONT_DPI"_s, fontDpi);
        env.insert(u"QT_ENABLE_HIGHDPI_SCALING"_s, u"0"_s);
        env.insert(u"WINEPREFIX"_s, m_dir.filePath(u"wine"_s));
        bridge.setProcessEnvironment(env);
        bridge.setWorkingDirectory(m_dir.path());
        bridge.start(test::builtProgram(u"orvane"_s), {});
        if (!bridge.waitForStarted())
            return QString();
        const QString window =
            run(u"xdotool"_s, {u"search"_s, u"--sync"_s, u"--onlyvisible"_s, u"--name"_s, u"^Form1$"_s})
                .section(u'\n', 0, 0);
        const QString file = m_dir.filePath(u"window-"_s + fontDpi + u".png"_s);
        // The window is painted after it is mapped: looked at until two looks agree.
        const QString previous = file + u".previous.png"_s;
        run(u"import"_s, {u"-window"_s, window, previous});
        for (int look = 0; look < 20; ++look) {
            run(u"import"_s, {u"-window"_s, window, file});
            if (differingPixels(previous, file) == u"0")
                break;
            QFile::remove(previous);
            QFile::copy(file, previous);
        }
        bridge.terminate();
        bridge.waitForFinished(5000);
        return window.isEmpty() ? QString() : file;
    };
    const QString normal = screenshot(u"96"_s);
    const QString large = screenshot(u"144"_s);
    QVERIFY(QFile::exists(normal) && QFile::exists(large));
    QCOMPARE(differingPixels(normal, large), u"0"_s);
}

QTEST_GUILESS_MAIN(TestX11)
#include "tst_x11.moc"
