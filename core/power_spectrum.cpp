#include "core/power_spectrum.h"

#include <cmath>
#include <complex>

constexpr double kPi = 3.14159265358979323846;

namespace {

using Complex = std::complex<double>;

uint32_t SmallestFactor(uint32_t n) {
    for (uint32_t p = 2; p * p <= n; ++p)
        if (n % p == 0) return p;
    return n;
}

// The DFT of the n values at in (stride apart) into out, as p interleaved
// transforms of n / p values (p the smallest factor of n) combined with
// twiddles; a prime length is transformed directly. twiddles holds
// e^(-2 pi i j / total) for the top length; this level's root is its
// power total / n.
void Transform(const Complex* in, size_t stride, uint32_t n, Complex* out, const std::vector<Complex>& twiddles) {
    if (n == 1) {
        out[0] = in[0];
        return;
    }
    uint64_t total = twiddles.size();
    uint64_t step = total / n;
    uint32_t p = SmallestFactor(n);
    uint32_t m = n / p;
    std::vector<Complex> parts(n);
    if (m == 1) {
        for (uint32_t r = 0; r < p; ++r) parts[r] = in[r * stride];
    } else {
        // parts[r * m + k] = DFT of the values r, r + p, r + 2p, ...
        for (uint32_t r = 0; r < p; ++r) Transform(in + r * stride, stride * p, m, &parts[r * m], twiddles);
    }
    for (uint32_t k = 0; k < n; ++k) {
        Complex sum = 0;
        for (uint32_t r = 0; r < p; ++r) sum += parts[r * m + k % m] * twiddles[(uint64_t{r} * k % n) * step];
        out[k] = sum;
    }
}

}  // namespace

std::vector<double> PowerSpectrum(const int16_t* x, uint32_t n) {
    if (n == 0) return {};
    std::vector<Complex> twiddles(n);
    for (uint32_t j = 0; j < n; ++j) twiddles[j] = std::polar(1.0, -2.0 * kPi * j / n);
    std::vector<Complex> values(x, x + n);
    std::vector<Complex> spectrum(n);
    Transform(values.data(), 1, n, spectrum.data(), twiddles);
    std::vector<double> power(n / 2 + 1);
    for (uint32_t m = 0; m < power.size(); ++m) power[m] = std::norm(spectrum[m]);
    return power;
}
