#include "display/displayserver.h"

#include "display/displayhandover.h"

namespace orvane::display {
namespace {

constexpr qint64 kMaxLine = 4096;

} // namespace

DisplayServer::DisplayServer(QObject* parent)
    : QObject(parent), m_server(QStringLiteral("orvane-display"), kMaxLine,
                                [this](const QByteArray& line) { return answerLine(line); })
{
}

Result<> DisplayServer::listen(const QString& path)
{
    return m_server.listen(path);
}

QString DisplayServer::readable(const QByteArray& line)
{
    QString text;
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0x5C)
            text += QChar(0xA5);
        else if (byte >= 0xA1 && byte <= 0xDF)
            text += QChar(0xFF61 + (byte - 0xA1));
        else
            text += QChar(char16_t(byte));
    }
    return text;
}

QByteArray DisplayServer::answerLine(const QByteArray& line)
{
    if (line.trimmed() == "?") {
        const QString shown =
            m_reader ? m_reader() : readable(m_shown.upper) + u'|' + readable(m_shown.lower);
        return shown.toUtf8() + '\n';
    }
    if (line.trimmed() == "quit") {
        emit quitRequested();
        return {};
    }
    const Result<Handover> handover = handoverFromLine(line);
    if (!handover) {
        qWarning("orvane-display: %s", qPrintable(handover.error()));
        return handoverAnswer(handover.error());
    }
    if (!(handover->stamp < m_stamp)) { // else a display program started before the one shown
        m_stamp = handover->stamp;
        m_shown = poleLines(handover->text);
        emit show(m_shown);
    }
    return handoverAnswer(m_faultReader ? m_faultReader() : QString());
}

} // namespace orvane::display
