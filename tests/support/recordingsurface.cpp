#include "support/recordingsurface.h"

namespace orvane {
namespace {

bool isHalfWidth(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x80 || (u >= 0xFF61 && u <= 0xFF9F);
}

} // namespace

double RecordingSurface::widthInEms(const QString& text)
{
    double ems = 0;
    for (const QChar c : text)
        ems += isHalfWidth(c) ? 0.5 : 1.0;
    return ems;
}

RecordingSurface::Operation RecordingSurface::base(Kind kind) const
{
    Operation op;
    op.kind = kind;
    op.font = m_fontName;
    op.size = m_fontSize;
    op.x = m_x;
    op.y = m_y;
    op.drawStyle = m_drawStyle;
    op.drawWidth = m_drawWidth;
    op.fillStyle = m_fillStyle;
    op.orientation = m_orientation;
    op.paperSize = m_paperSize;
    op.page = m_page;
    op.job = m_job;
    return op;
}

bool RecordingSurface::failsNow()
{
    if (workingOperations < 0)
        return false;
    if (workingOperations == 0)
        return true;
    --workingOperations;
    return false;
}

bool RecordingSurface::setScaleMode(int mode)
{
    scaleMode = mode;
    return true;
}

bool RecordingSurface::print(const QString& text)
{
    if (failsNow())
        return false;
    Operation op = base(Kind::Text);
    op.text = text;
    operations.append(op);
    advanceLine(m_fontSize * 20);
    return true;
}

bool RecordingSurface::shape(Kind kind, float x1, float y1, float x2, float y2)
{
    if (failsNow())
        return false;
    Operation op = base(kind);
    op.x = x1;
    op.y = y1;
    op.x2 = x2;
    op.y2 = y2;
    operations.append(op);
    moveTo(x2, y2);
    return true;
}

bool RecordingSurface::line(float x1, float y1, float x2, float y2)
{
    return shape(Kind::Line, x1, y1, x2, y2);
}

bool RecordingSurface::box(float x1, float y1, float x2, float y2)
{
    return shape(Kind::Box, x1, y1, x2, y2);
}

std::optional<double> RecordingSurface::textWidth(const QString& text)
{
    if (failsNow())
        return std::nullopt;
    return widthInEms(text) * m_fontSize * 20;
}

bool RecordingSurface::newPage()
{
    if (failsNow())
        return false;
    operations.append(base(Kind::NewPage));
    ++m_page;
    moveTo(0, 0);
    return true;
}

bool RecordingSurface::endDoc()
{
    operations.append(base(Kind::EndDoc));
    ++m_job;
    m_page = 1;
    moveTo(0, 0);
    return true;
}

QList<RecordingSurface::Operation> RecordingSurface::texts() const
{
    QList<Operation> out;
    for (const Operation& op : operations)
        if (op.kind == Kind::Text)
            out.append(op);
    return out;
}

const RecordingSurface::Operation* RecordingSurface::findText(const QString& text) const
{
    for (const Operation& op : operations)
        if (op.kind == Kind::Text && op.text == text)
            return &op;
    return nullptr;
}

} // namespace orvane
