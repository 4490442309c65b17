#include "core/power_spectrum.h"

#include <algorithm>
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

// Above this prime factor the direct sums cost more than a chirp transform.
constexpr uint32_t kLargestDirectFactor = 64;

uint32_t LargestFactor(uint32_t n) {
    uint32_t largest = 1;
    for (uint32_t p = 2; p * p <= n; ++p) {
        while (n % p == 0) {
            largest = p;
            n /= p;
        }
    }
    return std::max(largest, n);
}

// The DFT of any length by mixed radices.
std::vector<Complex> MixedRadixDft(const std::vector<Complex>& values) {
    uint32_t n = static_cast<uint32_t>(values.size());
    std::vector<Complex> twiddles(n);
    for (uint32_t j = 0; j < n; ++j) twiddles[j] = std::polar(1.0, -2.0 * kPi * j / n);
    std::vector<Complex> spectrum(n);
    Transform(values.data(), 1, n, spectrum.data(), twiddles);
    return spectrum;
}

// The DFT of a length with a large prime factor as a convolution with a
// chirp (Bluestein), done by power-of-two transforms:
// X[k] = c*[k] sum_j (x[j] c*[j]) c[k - j], with c[j] = e^(i pi j^2 / n).
std::vector<Complex> ChirpDft(const std::vector<Complex>& values) {
    uint64_t n = values.size();
    uint32_t size = 1;
    while (size < 2 * n - 1) size <<= 1;
    std::vector<Complex> chirp(n);
    // j^2 mod 2n keeps the angle exact for long lengths.
    for (uint64_t j = 0; j < n; ++j) chirp[j] = std::polar(1.0, kPi * static_cast<double>(j * j % (2 * n)) / n);
    std::vector<Complex> a(size), b(size);
    for (uint64_t j = 0; j < n; ++j) a[j] = values[j] * std::conj(chirp[j]);
    b[0] = chirp[0];
    for (uint64_t j = 1; j < n; ++j) b[j] = b[size - j] = chirp[j];
    std::vector<Complex> fa = MixedRadixDft(a), fb = MixedRadixDft(b);
    // The inverse transform as the conjugate of the forward one.
    for (uint32_t k = 0; k < size; ++k) fa[k] = std::conj(fa[k] * fb[k]);
    std::vector<Complex> product = MixedRadixDft(fa);
    std::vector<Complex> spectrum(n);
    for (uint64_t k = 0; k < n; ++k) spectrum[k] = std::conj(product[k]) / static_cast<double>(size) * std::conj(chirp[k]);
    return spectrum;
}

}  // namespace

std::vector<double> PowerSpectrum(const int16_t* x, uint32_t n) {
    if (n == 0) return {};
    std::vector<Complex> values(x, x + n);
    std::vector<Complex> spectrum = LargestFactor(n) > kLargestDirectFactor ? ChirpDft(values) : MixedRadixDft(values);
    std::vector<double> power(n / 2 + 1);
    for (uint32_t m = 0; m < power.size(); ++m) power[m] = std::norm(spectrum[m]);
    return power;
}
