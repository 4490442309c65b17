#include <cmath>
#include <complex>
#include <cstdint>
#include <random>
#include <vector>

#include "engine/analysis/power_spectrum.h"
#include "tests/test_support.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Every length the transform takes apart differently: trivial, powers of
// two, mixed small factors, a prime done directly, and large prime
// factors done as a chirp convolution.
TEST(PowerSpectrumTest, AgreesWithTheDefiningSum) {
    std::mt19937 random(5);
    for (uint32_t n : {1u, 2u, 16u, 96u, 61u, 1072u, 201u, 1009u}) {
        std::vector<int16_t> x(n);
        for (int16_t& value : x) value = static_cast<int16_t>(random() % 65536 - 32768);
        std::vector<double> power = PowerSpectrum(x.data(), n);
        ASSERT_EQ(power.size(), n / 2 + 1);
        for (uint32_t m = 0; m <= n / 2; ++m) {
            std::complex<double> sum = 0;
            for (uint32_t j = 0; j < n; ++j) sum += double(x[j]) * std::polar(1.0, -2 * kPi * (uint64_t{j} * m % n) / n);
            ASSERT_NEAR(power[m], std::norm(sum), 1e-9 * n * n * 32768.0 * 32768.0) << "length " << n << " line " << m;
        }
    }
}

}  // namespace
