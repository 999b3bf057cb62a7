#include "phone/dialcheckconversation.h"

#include "phone/dialcheck.h"
#include "platform/tcpclient.h"

namespace orvane {

void DialCheckConversation::restart(TcpClient& client)
{
    client.Close();
    m_reply.clear();
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
    m_reply += client.GetData();
    return m_reply;
}

std::optional<QString> DialCheckConversation::numberToDial(const QString& shownReply)
{
    return orvane::numberToDial(shownReply, m_lastDialText);
}

} // namespace orvane
