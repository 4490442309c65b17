#include "engine/analysis/power_spectrum.h"

#include <algorithm>
#include <cmath>
#include <complex>

constexpr double kPi = 3.14159265358979323846;

namespace {

using Complex = std::complex<double>;

// The product without the checks for infinities that the library's
// operator* makes on every call: the values here are always finite.
inline Complex Mul(const Complex& a, const Complex& b) {
    return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

// Above this prime factor the direct sums cost more than a chirp transform.
constexpr uint32_t kLargestDirectFactor = 64;

// The prime factors of n, twos first (they have their own butterfly).
std::vector<uint32_t> PrimeFactors(uint32_t n) {
    std::vector<uint32_t> factors;
    for (uint32_t p = 2; p * p <= n; ++p) {
        while (n % p == 0) {
            factors.push_back(p);
            n /= p;
        }
    }
    if (n > 1) factors.push_back(n);
    return factors;
}

// e^(-2 pi i j / n) for j < n.
std::vector<Complex> Twiddles(uint32_t n) {
    std::vector<Complex> twiddles(n);
    for (uint32_t j = 0; j < n; ++j) twiddles[j] = std::polar(1.0, -2.0 * kPi * j / n);
    return twiddles;
}

// A decimation-in-time transform of one length: the twiddles and the
// scratch are made once, so the recursion allocates nothing and its inner
// loops divide nothing.
class MixedRadix {
public:
    explicit MixedRadix(uint32_t n) : n_(n), factors_(PrimeFactors(n)), twiddles_(Twiddles(n)) {
        uint32_t largest = factors_.empty() ? 1 : factors_.back();
        scratch_.resize(largest);
    }

    std::vector<Complex> Transform(const std::vector<Complex>& values) {
        std::vector<Complex> out(n_);
        if (n_ == 1) out[0] = values[0];
        else Work(out.data(), values.data(), 1, 0, n_);
        return out;
    }

private:
    // out[0..n) = DFT of the n values in[0], in[stride], ...; n is the
    // product of factors_[level..]. Each of the p interleaved sub-sequences
    // is transformed into its own slice of out, then the slices combined.
    void Work(Complex* out, const Complex* in, size_t stride, size_t level, uint32_t n) {
        const uint32_t p = factors_[level], m = n / p;
        if (m == 1) {
            for (uint32_t q = 0; q < p; ++q) out[q] = in[q * stride];
        } else {
            for (uint32_t q = 0; q < p; ++q) Work(out + q * m, in + q * stride, stride * p, level + 1, m);
        }
        if (p == 2) Butterfly2(out, stride, m);
        else Butterfly(out, stride, p, m);
    }

    // X[k] = Y0[k] + w^k Y1[k], X[k + m] = Y0[k] - w^k Y1[k].
    void Butterfly2(Complex* out, size_t stride, uint32_t m) {
        for (uint32_t k = 0; k < m; ++k) {
            Complex t = Mul(out[k + m], twiddles_[k * stride]);
            out[k + m] = out[k] - t;
            out[k] += t;
        }
    }

    // X[k + s m] = sum over q of Y_q[k] w^(q (k + s m)), w the root of
    // this level (twiddles_[stride]); the exponent is kept below n_.
    void Butterfly(Complex* out, size_t stride, uint32_t p, uint32_t m) {
        for (uint32_t k = 0; k < m; ++k) {
            for (uint32_t q = 0; q < p; ++q) scratch_[q] = out[k + q * m];
            for (uint32_t s = 0; s < p; ++s) {
                const uint64_t step = (uint64_t{k} + uint64_t{s} * m) * stride;
                uint64_t at = 0;
                Complex sum = scratch_[0];
                for (uint32_t q = 1; q < p; ++q) {
                    at += step;
                    if (at >= n_) at -= n_;
                    sum += Mul(scratch_[q], twiddles_[at]);
                }
                out[k + s * m] = sum;
            }
        }
    }

    uint32_t n_;
    std::vector<uint32_t> factors_;
    std::vector<Complex> twiddles_;
    std::vector<Complex> scratch_;
};

// In place, for a power-of-two length: the butterflies walk memory in
// order, several times quicker than the recursion on long loops.
void Radix2InPlace(std::vector<Complex>& a, const std::vector<Complex>& twiddles) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t length = 2; length <= n; length <<= 1) {
        const size_t half = length / 2, step = n / length;
        for (size_t i = 0; i < n; i += length) {
            for (size_t k = 0; k < half; ++k) {
                Complex t = Mul(a[i + k + half], twiddles[k * step]);
                a[i + k + half] = a[i + k] - t;
                a[i + k] += t;
            }
        }
    }
}

bool IsPowerOfTwo(uint32_t n) { return (n & (n - 1)) == 0; }

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
    for (uint64_t j = 0; j < n; ++j) a[j] = Mul(values[j], std::conj(chirp[j]));
    b[0] = chirp[0];
    for (uint64_t j = 1; j < n; ++j) b[j] = b[size - j] = chirp[j];
    const std::vector<Complex> twiddles = Twiddles(size);
    Radix2InPlace(a, twiddles);
    Radix2InPlace(b, twiddles);
    // The inverse transform as the conjugate of the forward one.
    for (uint32_t k = 0; k < size; ++k) a[k] = std::conj(Mul(a[k], b[k]));
    Radix2InPlace(a, twiddles);
    std::vector<Complex> spectrum(n);
    for (uint64_t k = 0; k < n; ++k) spectrum[k] = Mul(std::conj(a[k]), std::conj(chirp[k])) / static_cast<double>(size);
    return spectrum;
}

// The DFT of any length, by the quickest of the three ways that take it.
std::vector<Complex> Dft(std::vector<Complex> values) {
    const uint32_t n = static_cast<uint32_t>(values.size());
    if (IsPowerOfTwo(n)) {
        Radix2InPlace(values, Twiddles(n));
        return values;
    }
    std::vector<uint32_t> factors = PrimeFactors(n);
    if (factors.back() > kLargestDirectFactor) return ChirpDft(values);
    return MixedRadix(n).Transform(values);
}

// Lines 0..n/2 of the DFT of n real values, n even, from one complex
// transform of half the length: z[j] = x[2j] + i x[2j+1] holds the even
// and the odd values, whose transforms E and O are untangled from Z, and
// X[k] = E[k] + e^(-2 pi i k / n) O[k].
std::vector<Complex> RealDft(const int16_t* x, uint32_t n) {
    const uint32_t half = n / 2;
    std::vector<Complex> z(half);
    for (uint32_t j = 0; j < half; ++j) z[j] = {double(x[2 * j]), double(x[2 * j + 1])};
    const std::vector<Complex> transform = Dft(std::move(z));
    std::vector<Complex> lines(half + 1);
    for (uint32_t k = 0; k <= half; ++k) {
        const Complex a = transform[k % half], b = std::conj(transform[(half - k) % half]);
        const Complex even = (a + b) * 0.5, odd = Mul(a - b, Complex(0, -0.5));
        lines[k] = even + Mul(std::polar(1.0, -2.0 * kPi * k / n), odd);
    }
    return lines;
}

}  // namespace

std::vector<double> PowerSpectrum(const int16_t* x, uint32_t n) {
    if (n == 0) return {};
    // Loops are whole blocks of 16 samples: the half-length road is the one
    // that matters; an odd length is transformed whole.
    std::vector<Complex> spectrum = n % 2 == 0 ? RealDft(x, n) : Dft(std::vector<Complex>(x, x + n));
    std::vector<double> power(n / 2 + 1);
    for (uint32_t m = 0; m < power.size(); ++m) power[m] = std::norm(spectrum[m]);
    return power;
}
