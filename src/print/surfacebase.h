#pragma once

#include "print/printsurface.h"

namespace orvane {

// The drawing state every print surface keeps (font, position, line and fill styles, page set-up) and
// the values it accepts; the surfaces add the drawing itself.
class SurfaceBase : public PrintSurface
{
public:
    bool setOrientation(int orientation) override;
    bool setPaperSize(int paperSize) override;
    bool setFontName(const QString& name) override;
    QString fontName() const override { return m_fontName; }
    bool setFontSize(double points) override;
    double fontSize() const override { return m_fontSize; }
    bool setCurrentX(float x) override;
    bool setCurrentY(float y) override;
    float currentX() const override { return m_x; }
    float currentY() const override { return m_y; }
    bool setDrawStyle(int style) override;
    bool setDrawWidth(int pixels) override;
    bool setFillStyle(int style) override;

protected:
    virtual bool supportsPaperSize(int paperSize) const = 0;
    // Called after the orientation or paper size changed.
    virtual void pageLayoutChanged() {}
    // The position after a print: the start of the next line.
    void advanceLine(double height);
    void moveTo(float x, float y);

    QString m_fontName;
    double m_fontSize = 8.25;
    float m_x = 0;
    float m_y = 0;
    int m_drawStyle = 0;
    int m_drawWidth = 1;
    int m_fillStyle = 1;
    int m_orientation = kPortrait;
    int m_paperSize = kPaperA5;
};

} // namespace orvane
