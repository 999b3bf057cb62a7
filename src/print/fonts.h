#pragma once

namespace orvane {

// Maps the typefaces the printed forms name onto the fonts installed here: "ＭＳ ゴシック" is drawn
// with IPAGothic, which has its metrics (fixed pitch, half-width characters half an em).
void installFontSubstitutions();

} // namespace orvane
