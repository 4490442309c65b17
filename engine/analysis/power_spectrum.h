// The power spectrum of one period of a periodic signal, by a mixed-radix
// fast Fourier transform that takes any length (loops are 16 samples a
// block times any number of blocks).
#pragma once

#include <cstdint>
#include <vector>

// |X[m]|^2 for m = 0..n/2 of the n samples at x, taken as one period.
std::vector<double> PowerSpectrum(const int16_t* x, uint32_t n);
