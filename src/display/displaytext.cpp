#include "display/displaytext.h"

#include "platform/launcher.h"

#include "text/numberformat.h"

namespace orvane::display {
namespace {

const QString kTotalLabel = QStringLiteral("ｾﾞｲｺﾐｺﾞｳｹｲｷﾝｶﾞｸ     ");
const QString kAmountPattern = QStringLiteral("#,###,##0");

} // namespace

QString commandLine(const QString& text)
{
    return u"vfddisp.exe " + quoteWindowsArgument(text);
}

QString labelField(const QString& label, int width)
{
    return QString(label + QString(width, u' ')).left(width);
}

QString amountField(const QString& amount, int width)
{
    return QString(QString(width, u' ') + u'\\' + text::formatText(amount, kAmountPattern)).right(width);
}

QString totalText(const QString& amount)
{
    return kTotalLabel + amountField(amount, 20);
}

QString statementTotalText(double amount)
{
    return kTotalLabel +
           QString(QString(20, u' ') + u'\\' + text::formatNumber(amount, kAmountPattern)).right(20);
}

QString paidChangeText(const QString& paid, const QString& change)
{
    return labelField(QStringLiteral("ｺﾞﾆｭｳｷﾝ"), 10) + amountField(paid, 10) +
           labelField(QStringLiteral("ｵﾂﾘｾﾝ"), 10) + amountField(change, 10);
}

QString itemText(const QString& code, const QString& unitPrice, const QString& quantity,
                 const QString& amount)
{
    return labelField(u"ID" + code.right(5), 10) + amountField(unitPrice, 10) + QStringLiteral("ｽｳﾘｮｳ") +
           QString(QString(5, u' ') + quantity).right(5) + amountField(amount, 10);
}

QString welcomeText()
{
    return QStringLiteral("Welcome");
}

QString blankText()
{
    return {};
}

} // namespace orvane::display
