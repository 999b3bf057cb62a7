#pragma once

#include "base/settings.h"
#include "channel/commandprocessor.h"
#include "channel/commandsource.h"
#include "channel/deskstatus.h"
#include "channel/repeatguard.h"
#include "phone/dialcheckconversation.h"
#include "platform/launcher.h"
#include "platform/windowspath.h"

#include <QWidget>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace orvane {

class DesktopNotifications;
class Dialler;
class PrintFollowUp;
class PrintSurface;
class Notifier;
class SerialPort;
class StatusRow;
class StatusServer;
class TcpClient;

// What the window works through: the platform's services, all of them given (main wires the real
// ones, the tests their doubles).
struct FormServices
{
    WindowsPathMapper mapper = WindowsPathMapper::fromEnvironment();
    std::function<QString()> userName;
    ProgramLauncher* launcher = nullptr;
    Notifier* notifier = nullptr;
    Dialler* dialler = nullptr;
    std::function<SerialPort*(QObject* parent)> makeSerialPort;
    std::function<TcpClient*(QObject* parent)> makeTcpClient;
    // Where the web system's commands come from, as the settings choose (channel/commandsources.h).
    std::function<std::unique_ptr<CommandSource>(const Settings& settings, const QString& userName)>
        makeCommandSource;
    // The printer all forms go to.
    std::function<std::unique_ptr<PrintSurface>()> makePrintSurface;
    // The desktop's notifications for what needs the staff now; none: the status row alone.
    DesktopNotifications* desktopNotifications = nullptr;
    // What follows the printer's jobs to the paper; none: the printer's state is not known.
    PrintFollowUp* printFollowUp = nullptr;
};

// The bridge's one window: its controls, timers, serial ports and TCP clients, the form-level state,
// and thin handlers that hand the work to the subsystems.
class Form1 final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form1)

public:
    static constexpr int kTwipsPerPixel = 15;
    // The status row's height under the design's controls.
    static constexpr int kStatusRowTwips = 750;

    explicit Form1(FormServices services, QWidget* parent = nullptr);
    ~Form1() override;

    // The start-up sequence; fails with the reason when the program cannot start.
    Result<> Form_Load();

    const Settings& settings() const { return m_settings; }
    QString userName() const { return m_userName; }
    const CookieLines& cookieLines() const { return m_cookieLines; }
    CommandSource* commandSource() const { return m_commandSource.get(); }
    // The devices' states, the pages waiting and the day's counts, as the status row shows them.
    DeskStatus& deskStatus() { return *m_deskStatus; }
    StatusRow* statusRow() const { return m_statusRow; }

    // Places a call through the desk's telephony service; the number is handed over as it stands.
    void PhoneCall(const QString& number);
    // Dials the number on the modem; the port is closed again by Timer3.
    void PhoneCall2(const QString& number);

    // The number the test-call button dials: the time announcement, which answers every call with a
    // recording and disturbs nobody.
    static constexpr const char16_t* kTestCallNumber = u"117";
    // The title of the message that the caller-number device is missing at the start.
    static inline const QString kCallerIdTitle = QStringLiteral("Orvane: 着信番号装置");

    QString lastDialText() const { return m_dialCheck.lastDialText(); }

    // Controls, named as the window's design names them.
    QLabel* Label1 = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* daystart = nullptr;
    QPushButton* nikkeidump = nullptr;
    QPushButton* sctset = nullptr;
    QLineEdit* tellno = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QLineEdit* txtInputData = nullptr;
    QPushButton* Command3 = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;
    QTimer* Timer3 = nullptr;
    SerialPort* MSComm1 = nullptr;
    SerialPort* MSComm2 = nullptr;
    TcpClient* Winsock1 = nullptr;
    TcpClient* Winsock2 = nullptr;

    // The label's caption as set, before line ends are converted for display.
    static QString caption(const QLabel* label);

public slots:
    void Timer1_Timer();
    void Timer2_Timer();
    void Timer3_Timer();
    void Command1_Click();
    void Command3_Click();
    void tellno_Click();
    void Winsock1_Connect();
    void Winsock1_DataArrival();
    void Winsock2_Connect();
    void MSComm2_OnComm();
    void MSComm2_deviceBack();
    void daystart_Click();
    void nikkeidump_Click();
    void sctset_Click();
    void Command2_Click();
    void printUnprinted_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Carries out one command as its source hands it on.
    void processCommand(const std::optional<QString>& text);
    bool modemDial(const QString& number);
    void printReceipt(const QString& commandText);
    std::optional<double> printStatement(const QString& commandText);

    void setCaption(QLabel* label, const QString& caption);
    void openInEditor(const QString& fileName);
    void report(const QString& text);
    void setUpStatus();
    void tellTheDesktop(Device device);

    FormServices m_services;
    Settings m_settings;
    QString m_userName;
    qint32 m_dialPort = 0; // the server's port, read from dialport at start-up
    DialCheckConversation m_dialCheck;
    CookieLines m_cookieLines;
    RepeatGuard m_repeats;
    std::unique_ptr<CommandSource> m_commandSource;
    CommandHandlers m_commandHandlers;
    std::unique_ptr<PrintSurface> m_printer;
    DeskStatus* m_deskStatus = nullptr;
    bool m_printed = false; // the command under way printed a page
    StatusRow* m_statusRow = nullptr;
    std::unique_ptr<StatusServer> m_statusServer;
};

} // namespace orvane
