#include "SoundMeter.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>

namespace velmar::cli {

namespace {

// In place, radix 2; the size is a power of two.
void Fft(std::vector<std::complex<double>>& a) {
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; (j & bit) != 0; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const double angle = -2 * std::numbers::pi / static_cast<double>(len);
        const std::complex<double> step(std::cos(angle), std::sin(angle));
        for (std::size_t i = 0; i < n; i += len) {
            std::complex<double> w(1);
            for (std::size_t k = 0; k < len / 2; ++k) {
                const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= step;
            }
        }
    }
}

} // namespace

void SoundMeter::Add(std::span<const std::int16_t> samples) {
    for (const std::int16_t s : samples) {
        sum_ += s;
        sumSquares_ += static_cast<double>(s) * s;
    }
    count_ += samples.size();
    const std::size_t room = kMostAnalysed - kept_.size();
    kept_.insert(kept_.end(), samples.begin(),
                 samples.begin() + static_cast<std::ptrdiff_t>(std::min(room, samples.size())));
}

double SoundMeter::LevelDbfs() const {
    if (count_ == 0) return -std::numeric_limits<double>::infinity();
    const double n = static_cast<double>(count_);
    const double mean = sum_ / n;
    const double variance = std::max(0.0, sumSquares_ / n - mean * mean);
    // Below a thousandth of a step the rounding of the sums speaks, not the sound.
    if (variance < 1e-6) return -std::numeric_limits<double>::infinity();
    return 20 * std::log10(std::sqrt(variance) / 32768.0);
}

// A Hann-windowed spectrum, zero-padded to at least 64 K points so that short stretches
// still resolve; the peak is refined between bins by a parabola through the log magnitudes.
double SoundMeter::DominantHz() const {
    if (LevelDbfs() == -std::numeric_limits<double>::infinity() || kept_.size() < 2) return 0;
    std::size_t n = 65536;
    while (n < kept_.size()) n <<= 1;
    double mean = 0;
    for (const std::int16_t s : kept_) mean += s;
    mean /= static_cast<double>(kept_.size());
    std::vector<std::complex<double>> a(n);
    const double last = static_cast<double>(kept_.size() - 1);
    for (std::size_t i = 0; i < kept_.size(); ++i) {
        const double window =
            0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) / last);
        a[i] = (kept_[i] - mean) * window;
    }
    Fft(a);
    const double binHz = static_cast<double>(rate_) / static_cast<double>(n);
    std::size_t best = 1;
    for (std::size_t k = 1; k < n / 2; ++k)
        if (std::norm(a[k]) > std::norm(a[best])) best = k;
    if (best + 1 >= n / 2) return static_cast<double>(best) * binHz;
    const double l = std::log(std::abs(a[best - 1]) + 1e-12),
                 c = std::log(std::abs(a[best]) + 1e-12),
                 r = std::log(std::abs(a[best + 1]) + 1e-12);
    const double denominator = l - 2 * c + r;
    const double shift = denominator != 0 ? 0.5 * (l - r) / denominator : 0;
    return (static_cast<double>(best) + std::clamp(shift, -0.5, 0.5)) * binHz;
}

} // namespace velmar::cli
