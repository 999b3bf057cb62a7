// orvane-display --config FILE: the long-lived process behind vfddisp for the on-screen customer display
// (type=screen) and for LCDd (type=lcdproc). vfddisp starts it when nobody listens on the user's
// <runtime folder>/vfddisp.sock and hands each text over that socket; the text of the display program
// started last is the one shown.
#include "base/messagelog.h"
#include "display/displayconfig.h"
#include "display/displayserver.h"
#include "display/lcdprocclient.h"
#include "platform/localsocket.h"
#include "platform/runtimefolder.h"

#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>
#include <memory>
#include <unistd.h>

using namespace orvane;

namespace {

// Two lines of 20 columns in a frameless window on the customer's screen: large fixed-width characters
// in a display's colours. It never takes the focus from the staff's window.
class CustomerWindow final : public QWidget
{
public:
    explicit CustomerWindow(const display::DisplayConfig& config)
        : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::WindowDoesNotAcceptFocus)
    {
        setObjectName(QStringLiteral("customerDisplay"));
        setWindowTitle(QStringLiteral("Orvane customer display"));
        setAttribute(Qt::WA_ShowWithoutActivating);
        setFocusPolicy(Qt::NoFocus);
        setStyleSheet(QStringLiteral("background: #050807; color: #3dffb0;"));
        const QList<QScreen*> screens = QGuiApplication::screens();
        QScreen* screen = screens.value(config.screen, QGuiApplication::primaryScreen());
        const QRect area =
            config.geometry ? config.geometry->translated(screen->geometry().topLeft()) : screen->geometry();
        setGeometry(area);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(area.width() / 40, area.height() / 10, area.width() / 40,
                                   area.height() / 10);
        QFont font(QStringLiteral("IPAGothic"));
        font.setStyleHint(QFont::Monospace);
        // As large as 20 columns and two lines allow.
        for (int pixels = qMax(8, area.height() / 3); pixels > 8; --pixels) {
            font.setPixelSize(pixels);
            const QFontMetrics metrics(font);
            if (metrics.horizontalAdvance(QString(display::kPoleColumns, u'0')) <= area.width() * 9 / 10 &&
                metrics.height() * 2 <= area.height() * 8 / 10)
                break;
        }
        for (QLabel** label : {&m_upper, &m_lower}) {
            *label = new QLabel(this);
            (*label)->setFont(font);
            (*label)->setTextFormat(Qt::PlainText);
            (*label)->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            layout->addWidget(*label);
        }
        m_upper->setObjectName(QStringLiteral("upper"));
        m_lower->setObjectName(QStringLiteral("lower"));
        setLines(display::poleLines({}));
    }

    void setLines(const display::PoleLines& lines)
    {
        m_upper->setText(display::DisplayServer::readable(lines.upper));
        m_lower->setText(display::DisplayServer::readable(lines.lower));
    }
    QString shown() const { return m_upper->text() + u'|' + m_lower->text(); }

private:
    QLabel* m_upper = nullptr;
    QLabel* m_lower = nullptr;
};

int failWith(const QString& message)
{
    qCritical("orvane-display: %s", qPrintable(message)); // standard error and the log that lasts
    return 1;
}

// Asks the display process of this user to end (the demo and the tests end the one they started).
int quitRunning()
{
    const Result<int> fd = userRuntimeFolder(CreateFolder::No).and_then([](const QString& runtime) {
        return connectLocalSocket(QDir(runtime).filePath(QStringLiteral("vfddisp.sock")));
    });
    if (!fd)
        return failWith(QStringLiteral("no display process runs: ") + fd.error());
    const Result<> said = writeAll(*fd, "quit\n");
    ::close(*fd);
    return said ? 0 : failWith(said.error());
}

} // namespace

int main(int argc, char** argv)
{
    QString configPath;
    for (int i = 1; i + 1 < argc; ++i)
        if (qstrcmp(argv[i], "--config") == 0)
            configPath = QString::fromLocal8Bit(argv[i + 1]);
    if (argc == 2 && qstrcmp(argv[1], "--quit") == 0)
        return quitRunning();
    if (configPath.isEmpty()) {
        const bool help = argc > 1 && (qstrcmp(argv[1], "--help") == 0 || qstrcmp(argv[1], "-h") == 0);
        std::fprintf(help ? stdout : stderr,
                     "usage: orvane-display --config FILE\n"
                     "       orvane-display --quit\n"
                     "  The on-screen customer display or the LCDd client behind vfddisp; vfddisp starts it\n"
                     "  with the vfddisp.conf it read. --quit ends the one running for this user.\n");
        return help ? 0 : 2;
    }
    installMessageLog(QStringLiteral("orvane-display"));
    const Result<display::DisplayConfig> config = display::readDisplayConfig(configPath);
    if (!config)
        return failWith(config.error());
    const bool screen = config->type == display::DisplayType::Screen;
    std::unique_ptr<QCoreApplication> app =
        screen ? std::make_unique<QApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    const Result<QString> runtime = userRuntimeFolder(CreateFolder::Yes);
    if (!runtime)
        return failWith(runtime.error());

    display::DisplayServer server;
    QObject::connect(&server, &display::DisplayServer::quitRequested, app.get(), &QCoreApplication::quit);
    const auto listen = [&server, &runtime] {
        if (const Result<> listening = server.listen(QDir(*runtime).filePath(QStringLiteral("vfddisp.sock")));
            !listening) {
            failWith(listening.error()); // another one already serves the display
            QCoreApplication::exit(1);
        }
    };
    std::unique_ptr<CustomerWindow> window;
    std::unique_ptr<display::LcdProcClient> lcd;
    QTimer firstAnswerBound;
    if (screen) {
        window = std::make_unique<CustomerWindow>(*config);
        QObject::connect(&server, &display::DisplayServer::show, window.get(), &CustomerWindow::setLines);
        server.setReader([&window] { return window->shown(); });
        window->show();
        QTimer::singleShot(0, listen);
    } else {
        lcd = std::make_unique<display::LcdProcClient>(config->serverHost, config->serverPort);
        QObject::connect(&server, &display::DisplayServer::show, lcd.get(), &display::LcdProcClient::show);
        server.setFaultReader([&lcd] { return lcd->fault(); });
        // The first text is answered knowing whether LCDd took the screen: the socket opens once the
        // first attempt ended, or after a second of a host that does not answer.
        firstAnswerBound.setSingleShot(true);
        QObject::connect(lcd.get(), &display::LcdProcClient::settled, &firstAnswerBound, [&] {
            if (firstAnswerBound.isActive()) {
                firstAnswerBound.stop();
                listen();
            }
        });
        QObject::connect(&firstAnswerBound, &QTimer::timeout, listen);
        firstAnswerBound.start(1000);
        lcd->start();
    }
    return app->exec();
}
