#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace velmar::cli {

// Measures the samples of a stretch of frames: the level (RMS around the mean, in dBFS) and
// the strongest frequency, from the first kMostAnalysed samples.
class SoundMeter {
  public:
    static constexpr std::size_t kMostAnalysed = std::size_t{1} << 20; // about 24 s

    explicit SoundMeter(std::uint32_t sampleRate) : rate_(sampleRate) {}

    void Add(std::span<const std::int16_t> samples);
    // -infinity for a stretch without sound (or none at all).
    double LevelDbfs() const;
    // The frequency with the most energy, in Hz; 0 when there is no sound.
    double DominantHz() const;

  private:
    std::uint32_t rate_;
    double sum_ = 0;
    double sumSquares_ = 0;
    std::uint64_t count_ = 0;
    std::vector<std::int16_t> kept_;
};

} // namespace velmar::cli
