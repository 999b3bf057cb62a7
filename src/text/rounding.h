#pragma once

#include <QtGlobal>
#include <optional>

namespace orvane::text {

// A number rounded to the nearest integer, a half to the even neighbour (10.5 gives 10, 11.5 gives 12),
// or nullopt when the result lies outside the 16-bit or 32-bit signed range.
std::optional<qint16> roundToInt16(double value);
std::optional<qint32> roundToInt32(double value);

} // namespace orvane::text
