#include "support/testsupport.h"

#include <QDir>
#include <QProcess>
#include <QTest>

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

    QProcess m_xvfb;
    QString m_display;
    QTemporaryDir m_dir;
};

void TestX11::initTestCase()
{
    m_xvfb.start(u"Xvfb"_qs, {u"-displayfd"_qs, u"1"_qs, u"-screen"_qs, u"0"_qs, u"640x480x24"_qs,
                              u"-nolisten"_qs, u"tcp"_qs});
    QVERIFY2(m_xvfb.waitForStarted(), "Xvfb is not installed");
    QTRY_VERIFY_WITH_TIMEOUT(m_xvfb.canReadLine(), 10000);
    m_display = u':' + QString::fromLatin1(m_xvfb.readLine()).trimmed();
}

void TestX11::cleanupTestCase()
{
    m_xvfb.terminate();
    m_xvfb.waitForFinished();
}

QString TestX11::run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"DISPLAY"_qs, m_display);
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    if (!process.waitForFinished(15000))
        return {};
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

QString TestX11::differingPixels(const QString& a, const QString& b)
{
    QProcess compare;
    compare.start(u"compare"_qs, {u"-metric"_qs, u"AE"_qs, a, b, u"null:"_qs});
    compare.waitForFinished(15000);
    return QString::fromLatin1(compare.readAllStandardError()).trimmed(); // the count goes to stderr
}

void TestX11::clicksTheButtons()
{
    const QString log = m_dir.filePath(u"xdg-open.log"_qs);
    QDir().mkpath(m_dir.filePath(u"bin"_qs));
    test::writeRecordingProgram(m_dir.filePath(u"bin"_qs), u"xdg-open"_qs, log);
    QVERIFY(test::writeFile(m_dir.filePath(u"sct.txt"_qs), "wintype=1\r\ndialurl=\r\n"));
    QVERIFY(test::writeFile(m_dir.filePath(u"nikkei.txt"_qs), "yesterday\r\n"));

    QProcess bridge;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(u"QT_QPA_PLATFORM"_qs);
    env.insert(u"DISPLAY"_qs, m_display);
    env.insert(u"WINEPREFIX"_qs, m_dir.filePath(u"wine"_qs));
    env.insert(u"PATH"_qs, m_dir.filePath(u"bin"_qs) + u':' + env.value(u"PATH"_qs));
    bridge.setProcessEnvironment(env);
    bridge.setWorkingDirectory(m_dir.path());
    bridge.start(test::builtProgram(u"orvane"_qs), {});
    QVERIFY(bridge.waitForStarted());

    const QString window =
        run(u"xdotool"_qs, {u"search"_qs, u"--sync"_qs, u"--name"_qs, u"^Form1$"_qs}).section(u'\n', 0, 0);
    QVERIFY2(!window.isEmpty(), "no window named Form1");
    // Design positions in twips, 15 to a pixel: the centre of each button.
    const auto click = [&](int left, int top, int width, int height) {
        run(u"xdotool"_qs, {u"mousemove"_qs, u"--window"_qs, window, QString::number((left + width / 2) / 15),
                            QString::number((top + height / 2) / 15), u"click"_qs, u"1"_qs});
    };
    click(120, 480, 1335, 375); // 日計スタート
    QTRY_COMPARE(QFileInfo(m_dir.filePath(u"nikkei.txt"_qs)).size(), 0);
    QCOMPARE(test::readFile(m_dir.filePath(u"nikkei.bak"_qs)), QByteArray("yesterday\r\n"));

    click(2160, 1320, 975, 375); // 電話呼出, with the hint text still in the box
    QTRY_COMPARE(test::readRecordedCalls(log).size(), 1);
    QCOMPARE(test::readRecordedCalls(log).first(),
             QList<QByteArray>{QByteArray("tel:") + u"ココに電話番号入力"_qs.toUtf8()});

    bridge.terminate();
    QVERIFY(bridge.waitForFinished(5000));
}

void TestX11::looksTheSameAtAnyDesktopFontSetting()
{
    QVERIFY(test::writeFile(m_dir.filePath(u"sct.txt"_qs), "wintype=1\r\ndialurl=\r\n"));
    const auto screenshot = [&](const QString& fontDpi) {
        QProcess bridge;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(u"QT_QPA_PLATFORM"_qs);
        env.insert(u"DISPLAY"_qs, m_display);
        // The desktop's font setting: fonts in points grow with it, the window's layout does not.
        env.insert(u"QT_FONT_DPI"_qs, fontDpi);
        env.insert(u"QT_ENABLE_HIGHDPI_SCALING"_qs, u"0"_qs);
        env.insert(u"WINEPREFIX"_qs, m_dir.filePath(u"wine"_qs));
        bridge.setProcessEnvironment(env);
        bridge.setWorkingDirectory(m_dir.path());
        bridge.start(test::builtProgram(u"orvane"_qs), {});
        if (!bridge.waitForStarted())
            return QString();
        const QString window =
            run(u"xdotool"_qs, {u"search"_qs, u"--sync"_qs, u"--onlyvisible"_qs, u"--name"_qs, u"^Form1$"_qs})
                .section(u'\n', 0, 0);
        const QString file = m_dir.filePath(u"window-"_qs + fontDpi + u".png"_qs);
        // The window is painted after it is mapped: looked at until two looks agree.
        const QString previous = file + u".previous.png"_qs;
        run(u"import"_qs, {u"-window"_qs, window, previous});
        for (int look = 0; look < 20; ++look) {
            run(u"import"_qs, {u"-window"_qs, window, file});
            if (differingPixels(previous, file) == u"0")
                break;
            QFile::remove(previous);
            QFile::copy(file, previous);
        }
        bridge.terminate();
        bridge.waitForFinished(5000);
        return window.isEmpty() ? QString() : file;
    };
    const QString normal = screenshot(u"96"_qs);
    const QString large = screenshot(u"144"_qs);
    QVERIFY(QFile::exists(normal) && QFile::exists(large));
    QCOMPARE(differingPixels(normal, large), u"0"_qs);
}

QTEST_GUILESS_MAIN(TestX11)
#include "tst_x11.moc"
