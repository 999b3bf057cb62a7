#include "print/surfacebase.h"

namespace orvane {

bool SurfaceBase::setOrientation(int orientation)
{
    if (orientation != kPortrait && orientation != kLandscape)
        return false;
    m_orientation = orientation;
    pageLayoutChanged();
    return true;
}

bool SurfaceBase::setPaperSize(int paperSize)
{
    if (!supportsPaperSize(paperSize))
        return false;
    m_paperSize = paperSize;
    pageLayoutChanged();
    return true;
}

bool SurfaceBase::setFontName(const QString& name)
{
    m_fontName = name;
    return true;
}

bool SurfaceBase::setFontSize(double points)
{
    if (!(points > 0 && points <= 2160))
        return false;
    m_fontSize = points;
    return true;
}

bool SurfaceBase::setCurrentX(float x)
{
    m_x = x;
    return true;
}

bool SurfaceBase::setCurrentY(float y)
{
    m_y = y;
    return true;
}

bool SurfaceBase::setDrawStyle(int style)
{
    if (style < 0 || style > 6)
        return false;
    m_drawStyle = style;
    return true;
}

bool SurfaceBase::setDrawWidth(int pixels)
{
    if (pixels < 1 || pixels > 32767)
        return false;
    m_drawWidth = pixels;
    return true;
}

bool SurfaceBase::setFillStyle(int style)
{
    if (style < 0 || style > 7)
        return false;
    m_fillStyle = style;
    return true;
}

void SurfaceBase::advanceLine(double height)
{
    m_x = 0;
    m_y += float(height);
}

void SurfaceBase::moveTo(float x, float y)
{
    m_x = x;
    m_y = y;
}

} // namespace orvane
