#pragma once

#include "print/printsurface.h"

namespace orvane {

enum class Alignment : qint16 { LeftEdge = 0, RightEdge = 1 };

// Prints one text with its left or its right edge at x, at y, in the surface's current font. The right
// edge is placed by the text's width measured just before, in floating point, without rounding to
// whole twips. False when a step failed: the steps after it are not taken.
bool PrintAligned(PrintSurface& surface, const QString& text, Alignment alignment, qint32 x, qint32 y);

} // namespace orvane
