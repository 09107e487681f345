#include "drawing/canvas.h"

#include <algorithm>
#include <cmath>

namespace tonvela {

std::optional<std::pair<PointF, PointF>> uprightBox(std::span<const PointF> p)
{
    if (p.size() != 4)
        return std::nullopt;
    double l = p[0].x, r = p[0].x, t = p[0].y, b = p[0].y;
    for (const PointF& c : p) {
        l = std::min(l, c.x);
        r = std::max(r, c.x);
        t = std::min(t, c.y);
        b = std::max(b, c.y);
    }
    for (const PointF& c : p)
        if ((c.x != l && c.x != r) || (c.y != t && c.y != b))
            return std::nullopt;
    // Four corners on the box's sides can still be a bow tie; an upright rectangle's
    // neighbouring corners share an x or a y.
    for (std::size_t i = 0; i < 4; ++i) {
        const PointF a = p[i], n = p[(i + 1) % 4];
        if (a.x != n.x && a.y != n.y)
            return std::nullopt;
    }
    return std::pair{PointF{l, t}, PointF{r, b}};
}

std::pair<double, double> snapToWholeUnits(double from, double to)
{
    const double size = std::max(1.0, std::round(to - from));
    const double start = std::round((from + to) / 2 - size / 2);
    return {start, start + size};
}

} // namespace tonvela
