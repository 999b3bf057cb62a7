#pragma once

#include <QList>
#include <QString>

namespace orvane {

// The bars and spaces of a Codabar (NW-7) symbol: element widths in narrow units (1 narrow, 2.5 wide)
// alternating bar, space, bar, ..., with one narrow space between characters. Empty when the text holds
// a character Codabar cannot encode.
QList<double> codabarElements(const QString& text);

} // namespace orvane
