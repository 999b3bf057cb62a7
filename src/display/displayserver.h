#pragma once

#include "display/polelines.h"
#include "display/startstamp.h"
#include "platform/localsocket.h"
#include "text/result.h"

#include <QObject>
#include <QString>
#include <functional>

namespace orvane::display {

// The long-lived display process's end of the display programs' socket (display/displayhandover.h):
// each text whose display program was started after the one shown is shown; an older one that arrives
// late is passed over. Each text is answered (display/displayhandover.h); "?" is answered with the lines
// shown, as the customer reads them; "quit" ends the display process (quitRequested).
class DisplayServer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DisplayServer)

public:
    explicit DisplayServer(QObject* parent = nullptr);

    // Listens on path; a socket left by a killed process is replaced, one that answers is not.
    Result<> listen(const QString& path);
    // What "?" answers with: what the display itself shows (the window's lines); the lines last shown
    // when not set.
    void setReader(std::function<QString()> reader) { m_reader = std::move(reader); }
    // Why a text cannot be shown now (LCDd cannot be reached); empty while texts reach the customer.
    void setFaultReader(std::function<QString()> reader) { m_faultReader = std::move(reader); }
    // The lines as the customer reads them: the yen sign for 0x5C, half-width katakana.
    static QString readable(const QByteArray& line);

signals:
    void show(const orvane::display::PoleLines& lines);
    void quitRequested();

private:
    QByteArray answerLine(const QByteArray& line);

    LocalLineServer m_server;
    StartStamp m_stamp;
    PoleLines m_shown = poleLines({});
    std::function<QString()> m_reader;
    std::function<QString()> m_faultReader;
};

} // namespace orvane::display
