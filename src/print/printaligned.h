#pragma once

#include "print/printsurface.h"

#include <optional>

namespace orvane {

enum class Alignment : qint16 { LeftEdge = 0, RightEdge = 1 };

// What a layout does with a text whose position cannot be set (no position, or one the surface
// refuses).
enum class FailedPosition {
    SkipText,       // the text is left out, so nothing lands where it does not belong
    PrintWhereLeft, // each setting is a step of its own: the text prints where the last print left off
};

// Prints text at (x, y) by the layout's rule for a failed position. A missing text prints nothing;
// with PrintWhereLeft its position is still set.
bool PrintAt(PrintSurface& surface, std::optional<float> x, float y, const std::optional<QString>& text,
             FailedPosition rule);

// Prints one text with its left or its right edge at x, at y, in the surface's current font. The right
// edge is placed by the text's width measured just before, in floating point, without rounding to
// whole twips. False when a step failed: the steps after it are not taken.
bool PrintAligned(PrintSurface& surface, const QString& text, Alignment alignment, qint32 x, qint32 y);

} // namespace orvane
