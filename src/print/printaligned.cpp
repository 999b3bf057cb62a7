#include "print/printaligned.h"

namespace orvane {

bool PrintAligned(PrintSurface& surface, const QString& text, Alignment alignment, qint32 x, qint32 y)
{
    float start = float(x);
    if (alignment == Alignment::RightEdge) {
        const std::optional<double> width = surface.textWidth(text);
        if (!width)
            return false;
        start = float(double(x) - double(float(*width)));
    }
    return surface.setCurrentX(start) && surface.setCurrentY(float(y)) && surface.print(text);
}

} // namespace orvane
