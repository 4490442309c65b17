// The downhill simplex search for the minimum of a function of a few
// variables, without derivatives: enough to fit a handful of parameters.
#pragma once

#include <functional>
#include <vector>

// Starts at start with steps of size step in each variable; stops after
// iterations or when the simplex's values agree within tolerance. Returns
// the best point found.
std::vector<double> SimplexMinimum(const std::function<double(const std::vector<double>&)>& cost,
                                   const std::vector<double>& start, double step, int iterations = 400,
                                   double tolerance = 1e-6);
