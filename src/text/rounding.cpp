#include "text/rounding.h"

#include <cmath>
#include <limits>

namespace orvane::text {
namespace {

template <typename Int> std::optional<Int> roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double rounded = std::nearbyint(value); // the default rounding mode is to nearest, ties to even
    if (rounded < double(std::numeric_limits<Int>::min()) ||
        rounded > double(std::numeric_limits<Int>::max()))
        return std::nullopt;
    return static_cast<Int>(rounded);
}

} // namespace

std::optional<qint16> roundToInt16(double value)
{
    return roundHalfEven<qint16>(value);
}

std::optional<qint32> roundToInt32(double value)
{
    return roundHalfEven<qint32>(value);
}

} // namespace orvane::text
