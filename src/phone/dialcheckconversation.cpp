#include "phone/dialcheckconversation.h"

#include "base/logging.h"
#include "phone/dialcheck.h"
#include "platform/tcpclient.h"

#include <QDateTime>
#include <QRegularExpression>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace orvane {

DialCheckConversation::DialCheckConversation(Settings settings, qint32 port, Clock clock)
    : m_settings(std::move(settings)), m_port(port), m_clock(std::move(clock))
{
    if (!m_clock)
        m_clock = [] { return QDateTime::currentMSecsSinceEpoch(); };
}

bool DialCheckConversation::isNoReply(const QString& reply)
{
    static const QRegularExpression noReply(
        QStringLiteral(R"(^HTTP/\d|<html|<!doctype|[\x00-\x08\x0b\x0c\x0e-\x1f\x7f])"),
        QRegularExpression::CaseInsensitiveOption);
    return noReply.match(reply).hasMatch();
}

void DialCheckConversation::restart(TcpClient& client)
{
    if (m_polled && m_clock) {
        const qint64 now = m_clock();
        const QString server = u"%1:%2"_s.arg(textOf(m_settings.dialurl)).arg(m_port);
        if (m_answered && !isNoReply(m_reply)) {
            m_failingSince.reset();
            m_health = DeviceStatus::ok(u"サーバー %1 が応答しています"_s.arg(server));
        } else {
            if (!m_failingSince)
                m_failingSince = now;
            if (now - *m_failingSince >= kProblemAfterMs)
                m_health =
                    m_answered
                        ? DeviceStatus::problem(
                              u"bad-answer"_s,
                              u"サーバー %1 の応答が読めません (「%2」)。電話の自動発信は止まっています。"
                              u"IT 担当者に連絡してください。"_s.arg(server, m_reply.left(60)))
                        : DeviceStatus::problem(
                              u"unreachable"_s,
                              u"サーバー %1 に接続できません。電話の自動発信は止まっています。"
                              u"ネットワークを確かめ、続くときは IT 担当者に連絡してください。"_s.arg(
                                  server));
        }
    }
    m_polled = true;
    m_answered = false;
    client.Close();
    m_reply.clear();
    m_replyCut = false;
    client.setRemoteHost(textOf(m_settings.dialurl));
    client.setRemotePort(m_port);
    client.Connect();
}

QString DialCheckConversation::request(const QString& inputData) const
{
    return dialCheckRequest(m_settings, inputData);
}

std::optional<QString> DialCheckConversation::takeArrived(TcpClient& client)
{
    const QString arrived = client.GetData();
    const qsizetype room = kMaxReply - m_reply.size();
    if (arrived.size() > room) {
        if (room > 0 || !m_replyCut)
            qCWarning(lcNet) << "dial-check reply longer than" << kMaxReply
                             << "characters; the rest is dropped";
        m_replyCut = true;
    }
    m_reply += arrived.left(std::max<qsizetype>(room, 0));
    m_answered = true;
    if (isNoReply(m_reply))
        return std::nullopt;
    return m_reply;
}

std::optional<QString> DialCheckConversation::numberToDial(const QString& shownReply)
{
    return orvane::numberToDial(shownReply, m_lastDialText);
}

} // namespace orvane
