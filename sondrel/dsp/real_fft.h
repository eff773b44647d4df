// In-place FFT of real sequences (radix-4 stages over the (even, odd) pairs,
// then a real-data pass) in the packed spectrum layout: a[0] = X[0], a[1] =
// X[n/2], a[2k], a[2k+1] = Re, Im of X[k] for 0 < k < n/2, where
// X[k] = sum_j a[j] e^(+2 pi i jk / n) (the imaginary part is the sum of
// a[j] sin(2 pi jk / n)).
#pragma once
#include <cstdint>

// n: a power of two. direction 1: forward; -1: inverse, which returns the
// sequence times n/2. ip: at least trunc(sqrt(n)) + 2 integers, ip[0] = 0
// before the first call; w: n/2 doubles. The tables in ip/w are rebuilt only
// when n grows beyond what they hold.
void real_fft(int32_t n, int32_t direction, double* a, int32_t* ip, double* w);

// a *= f element-wise in the packed layout: a[0] and a[1] as reals, each pair
// (2k, 2k+1) as a complex number. This is how a filter transformed with
// real_fft is applied: the inverse of the product is n/2 times the circular
// convolution.
void packed_spectrum_multiply(int32_t n, double* a, const double* f);

// Replaces a by the inverse transform of (forward transform of a) x f, f a
// packed spectrum: the same as real_fft(n, 1, ...), packed_spectrum_multiply
// and real_fft(n, -1, ...) to rounding. a[filled .. n-1] are taken as zero
// whatever they hold (zero-padded input need not be cleared first).
// scrambled: f rearranged by real_fft_scramble_filter, or nullptr; with it,
// where a vector kernel runs, the transforms skip their reordering passes.
void real_fft_convolve(int32_t n, double* a, int32_t filled, const double* f, int32_t* ip,
                       double* w, const double* scrambled = nullptr);

// Doubles real_fft_scramble_filter writes for size n, or 0 when the
// scrambled convolution does not serve n (n/2 not a power of 4, or small).
int32_t real_fft_scrambled_size(int32_t n);

// The packed spectrum f of size n in the order the scrambled convolution
// works in: the spectrum in bit-reversed order of its complex values, then
// the factors that split and join the real spectrum there.
void real_fft_scramble_filter(int32_t n, const double* f, double* out);
