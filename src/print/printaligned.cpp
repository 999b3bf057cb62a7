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

bool PrintAt(PrintSurface& surface, std::optional<float> x, float y, const std::optional<QString>& text,
             FailedPosition rule)
{
    if (rule == FailedPosition::SkipText)
        return text && x && surface.setCurrentX(*x) && surface.setCurrentY(y) && surface.print(*text);
    bool placed = x && surface.setCurrentX(*x);
    placed = surface.setCurrentY(y) && placed;
    return text && surface.print(*text) && placed;
}

} // namespace orvane
