#include "print/fonts.h"

#include <QFont>

namespace orvane {

void installFontSubstitutions()
{
    QFont::insertSubstitution(QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"));
}

} // namespace orvane
