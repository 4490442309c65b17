#include "engine/song/simplex_search.h"

#include <algorithm>
#include <cmath>

namespace {

using Point = std::vector<double>;

// a + t (b - a)
Point Along(const Point& a, const Point& b, double t) {
    Point p(a.size());
    for (size_t i = 0; i < a.size(); ++i) p[i] = a[i] + t * (b[i] - a[i]);
    return p;
}

}  // namespace

std::vector<double> SimplexMinimum(const std::function<double(const std::vector<double>&)>& cost,
                                   const std::vector<double>& start, double step, int iterations, double tolerance) {
    size_t n = start.size();
    std::vector<Point> points(n + 1, start);
    for (size_t i = 0; i < n; ++i) points[i + 1][i] += step;
    std::vector<double> values(n + 1);
    for (size_t i = 0; i <= n; ++i) values[i] = cost(points[i]);
    std::vector<size_t> order(n + 1);
    for (int it = 0; it < iterations; ++it) {
        for (size_t i = 0; i <= n; ++i) order[i] = i;
        std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return values[a] < values[b]; });
        size_t best = order[0], worst = order[n], second = order[n - 1];
        if (std::fabs(values[worst] - values[best]) < tolerance) break;
        // The centre of all points but the worst.
        Point centre(n, 0.0);
        for (size_t i = 0; i <= n; ++i)
            if (i != worst)
                for (size_t j = 0; j < n; ++j) centre[j] += points[i][j] / n;
        // Reflect the worst point; expand when that is the best yet, contract when it is no better.
        Point reflected = Along(centre, points[worst], -1);
        double r = cost(reflected);
        if (r < values[best]) {
            Point expanded = Along(centre, points[worst], -2);
            double e = cost(expanded);
            points[worst] = e < r ? expanded : reflected;
            values[worst] = std::min(e, r);
        } else if (r < values[second]) {
            points[worst] = reflected;
            values[worst] = r;
        } else {
            Point contracted = Along(centre, points[worst], r < values[worst] ? -0.5 : 0.5);
            double c = cost(contracted);
            if (c < std::min(r, values[worst])) {
                points[worst] = contracted;
                values[worst] = c;
            } else {
                // Shrink everything towards the best point.
                for (size_t i = 0; i <= n; ++i) {
                    if (i == best) continue;
                    points[i] = Along(points[best], points[i], 0.5);
                    values[i] = cost(points[i]);
                }
            }
        }
    }
    size_t best = static_cast<size_t>(std::min_element(values.begin(), values.end()) - values.begin());
    return points[best];
}
