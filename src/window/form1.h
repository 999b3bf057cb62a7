#pragma once

#include "platform/launcher.h"
#include "base/settings.h"
#include "platform/windowspath.h"
#include "channel/commandprocessor.h"
#include "channel/cookiepoller.h"
#include "channel/extensionsource.h"
#include "channel/firefoxcookiestore.h"
#include "phone/dialcheckconversation.h"

#include <QWidget>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace orvane {

class Dialler;
class PrintSurface;
class Notifier;
class SerialPort;
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
    // The bridge's clock for the extension's commands (ms since 1970); the system's when not given.
    std::function<qint64()> clock;
    // The printer all forms go to.
    std::function<std::unique_ptr<PrintSurface>()> makePrintSurface;
};

// The bridge's one window: its controls, timers, serial ports and TCP clients, the form-level state,
// and thin handlers that hand the work to the subsystems.
class Form1 final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form1)

public:
    static constexpr int kTwipsPerPixel = 15;

    explicit Form1(FormServices services, QWidget* parent = nullptr);
    ~Form1() override;

    // The start-up sequence. False when the program cannot start; loadError() then says why.
    bool Form_Load();
    QString loadError() const { return m_loadError; }

    const Settings& settings() const { return m_settings; }
    QString userName() const { return m_userName; }
    qint64 lastCookieTime() const { return m_lastCookieTime; }
    const CookieLines& cookieLines() const { return m_cookieLines; }

    // Places a call through the desk's telephony service; the number is handed over as it stands.
    void PhoneCall(const QString& number);
    // Dials the number on the modem; the port is closed again by Timer3.
    void PhoneCall2(const QString& number);

    // The number the test-call button dials: the time announcement, which answers every call with a
    // recording and disturbs nobody.
    static constexpr const char16_t* kTestCallNumber = u"117";

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
    void daystart_Click();
    void nikkeidump_Click();
    void sctset_Click();
    void Command2_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Starts the command source sct.txt chooses; false (with loadError()) when it cannot.
    bool startCommandSource();
    void ProcessCommandFile(const QString& path);
    // Carries out a command record from Firefox's store or the extension.
    void processRecord(const QString& record);
    bool modemDial(const QString& number);
    void printReceipt(const QString& commandText);
    std::optional<double> printStatement(const QString& commandText);

    void setCaption(QLabel* label, const QString& caption);
    void openInEditor(const QString& fileName);
    void report(const QString& text);

    FormServices m_services;
    Settings m_settings;
    QString m_userName;
    QString m_loadError;
    CookieFolder m_cookieFolder;
    qint64 m_lastCookieTime = 0;
    qint32 m_dialPort = 0; // the server's port, read from dialport at start-up
    DialCheckConversation m_dialCheck;
    CookieLines m_cookieLines;
    CookiePoller m_cookiePoller;
    std::unique_ptr<FirefoxCookieStore> m_firefoxStore; // when commands come from Firefox's store
    ExtensionSource* m_extensionSource = nullptr;        // when they come from the browser extension
    CommandHandlers m_commandHandlers;
    std::unique_ptr<PrintSurface> m_printer;
};

} // namespace orvane
