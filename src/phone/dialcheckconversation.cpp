#include "phone/dialcheckconversation.h"

#include "base/logging.h"
#include "phone/dialcheck.h"
#include "platform/tcpclient.h"

#include <algorithm>

namespace orvane {

void DialCheckConversation::restart(TcpClient& client)
{
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

QString DialCheckConversation::takeArrived(TcpClient& client)
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
    return m_reply;
}

std::optional<QString> DialCheckConversation::numberToDial(const QString& shownReply)
{
    return orvane::numberToDial(shownReply, m_lastDialText);
}

} // namespace orvane
