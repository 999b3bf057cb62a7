#pragma once

#include "print/surfacebase.h"

#include <QList>

namespace orvane {

// A print surface that records what is drawn, with font, size and position, so layouts can be checked
// exactly without rendering. Its metrics are those of a fixed-pitch typeface: a half-width character
// is half an em wide, any other one em, and a line is one em high.
class RecordingSurface final : public SurfaceBase
{
public:
    enum class Kind { Text, Line, Box, NewPage, EndDoc };

    struct Operation
    {
        Kind kind = Kind::Text;
        QString text;
        QString font;
        double size = 0;
        float x = 0;
        float y = 0;
        float x2 = 0;
        float y2 = 0;
        int drawStyle = 0;
        int drawWidth = 0;
        int fillStyle = 0;
        int orientation = 0;
        int paperSize = 0;
        int page = 1; // 1-based page of the current job
        int job = 1;  // 1-based job
    };

    static double widthInEms(const QString& text);

    void setDocumentName(const QString& name) override { documentNames.append(name); }
    void setJobTitle(const QString& title) override { jobTitles.append(title); }
    bool setScaleMode(int mode) override;
    bool print(const QString& text) override;
    bool line(float x1, float y1, float x2, float y2) override;
    bool box(float x1, float y1, float x2, float y2) override;
    std::optional<double> textWidth(const QString& text) override;
    bool newPage() override;
    bool endDoc() override;

    // The recorded texts, in order.
    QList<Operation> texts() const;
    // The first recorded text equal to text, or nullptr.
    const Operation* findText(const QString& text) const;

    QList<Operation> operations;
    QStringList documentNames;
    QStringList jobTitles;
    int scaleMode = 0;
    // A printer that stops working in the middle of a job: after this many texts, shapes, widths and
    // page breaks, each of them fails; -1 never fails, 0 fails from the start.
    int workingOperations = -1;

protected:
    bool supportsPaperSize(int paperSize) const override { return paperSize >= 1 && paperSize <= 41; }

private:
    Operation base(Kind kind) const;
    bool failsNow();
    bool shape(Kind kind, float x1, float y1, float x2, float y2);

    int m_page = 1;
    int m_job = 1;
};

} // namespace orvane
