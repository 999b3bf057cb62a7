#pragma once

#include <QString>
#include <optional>

namespace orvane {

// The page-drawing object the printed forms are written against. Units are twips (1440 to the inch)
// from the top-left corner of the page's printable area; font sizes are points. A job begins with the
// first operation after the previous endDoc(). Every operation reports whether it took effect: a
// failed one changes nothing, and the layouts go on with their next step.
class PrintSurface
{
public:
    static constexpr int kPortrait = 1;
    static constexpr int kLandscape = 2;
    static constexpr int kPaperA5 = 11;

    virtual ~PrintSurface() = default;

    // The kind of document ("receipt", "statement"), for the spooler or the saved file's name.
    virtual void setDocumentName(const QString& name) = 0;
    // The job's title at the spooler ("receipt 0001-0023"); the document name when not given.
    virtual void setJobTitle(const QString& title) = 0;

    virtual bool setScaleMode(int mode) = 0;
    virtual bool setOrientation(int orientation) = 0;
    virtual bool setPaperSize(int paperSize) = 0;
    virtual bool setFontName(const QString& name) = 0;
    virtual QString fontName() const = 0;
    virtual bool setFontSize(double points) = 0;
    virtual double fontSize() const = 0;
    virtual bool setCurrentX(float x) = 0;
    virtual bool setCurrentY(float y) = 0;
    virtual float currentX() const = 0;
    virtual float currentY() const = 0;
    virtual bool setDrawStyle(int style) = 0;
    virtual bool setDrawWidth(int pixels) = 0;
    virtual bool setFillStyle(int style) = 0;

    // Draws the text with its top-left corner at the current position, then moves to the start of the
    // next line: X to 0, Y down by one line of the current font.
    virtual bool print(const QString& text) = 0;
    // A straight black line between two points.
    virtual bool line(float x1, float y1, float x2, float y2) = 0;
    // The outline of the rectangle with these corners, filled as the fill style says.
    virtual bool box(float x1, float y1, float x2, float y2) = 0;
    // Width of the text in the current font, in twips.
    virtual std::optional<double> textWidth(const QString& text) = 0;
    virtual bool newPage() = 0;
    // Ends the job and releases it for printing.
    virtual bool endDoc() = 0;
};

} // namespace orvane
