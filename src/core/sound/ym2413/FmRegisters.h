#pragma once

// Static side of the YM2413: register numbers and bits, the operator parameter record and
// the built-in instrument images.

#include <array>
#include <cstdint>

namespace velmar {

// Register file layout.
namespace fmreg {
inline constexpr int kRegisterCount = 64;
inline constexpr std::uint8_t kAddressMask = 0x3F;

inline constexpr int kUserModChar = 0x00;    // AM PM EG KR ML of the user modulator
inline constexpr int kUserCarChar = 0x01;    // AM PM EG KR ML of the user carrier
inline constexpr int kUserModLevel = 0x02;   // KL TL of the user modulator
inline constexpr int kUserWaveFb = 0x03;     // carrier KL, both WF, modulator FB
inline constexpr int kUserModAttack = 0x04;  // AR DR of the user modulator
inline constexpr int kUserCarAttack = 0x05;  // AR DR of the user carrier
inline constexpr int kUserModSustain = 0x06; // SL RR of the user modulator
inline constexpr int kUserCarSustain = 0x07; // SL RR of the user carrier
inline constexpr int kRhythm = 0x0E;
inline constexpr int kFNumberLow = 0x10; // 0x10-0x18
inline constexpr int kKeyBlock = 0x20;   // 0x20-0x28
inline constexpr int kInstVolume = 0x30; // 0x30-0x38
inline constexpr int kChannels = 9;

// Register 0x0E.
inline constexpr std::uint8_t kRhythmMode = 0x20;
inline constexpr std::uint8_t kBassDrumKey = 0x10;
inline constexpr std::uint8_t kSnareDrumKey = 0x08;
inline constexpr std::uint8_t kTomTomKey = 0x04;
inline constexpr std::uint8_t kTopCymbalKey = 0x02;
inline constexpr std::uint8_t kHighHatKey = 0x01;

// Registers 0x20-0x28.
inline constexpr std::uint8_t kSustainBit = 0x20;
inline constexpr std::uint8_t kKeyOnBit = 0x10;
inline constexpr std::uint8_t kBlockMask = 0x0E;
inline constexpr int kBlockShift = 1;
inline constexpr std::uint8_t kFNumberHighBit = 0x01;

// Registers 0x30-0x38.
inline constexpr int kInstrumentShift = 4;
inline constexpr std::uint8_t kVolumeMask = 0x0F;

// Instrument image bytes 0 and 1.
inline constexpr std::uint8_t kAmBit = 0x80;
inline constexpr std::uint8_t kPmBit = 0x40;
inline constexpr std::uint8_t kEgBit = 0x20;
inline constexpr std::uint8_t kKrBit = 0x10;
inline constexpr std::uint8_t kMlMask = 0x0F;
// Bytes 2 and 3.
inline constexpr int kKlShift = 6;
inline constexpr std::uint8_t kTlMask = 0x3F;
inline constexpr std::uint8_t kCarrierWfBit = 0x10;
inline constexpr std::uint8_t kModulatorWfBit = 0x08;
inline constexpr std::uint8_t kFbMask = 0x07;
} // namespace fmreg

// Parameters of one operator, with the YM2413 names.
struct FmPatch {
    std::int32_t TL = 0; // total level (modulator only)
    std::int32_t FB = 0; // feedback (modulator only)
    std::int32_t EG = 0; // 1 = sustained envelope
    std::int32_t ML = 0; // multiplier index
    std::int32_t AR = 0;
    std::int32_t DR = 0;
    std::int32_t SL = 0;
    std::int32_t RR = 0;
    std::int32_t KR = 0; // key scale of rates
    std::int32_t KL = 0; // key scale of level
    std::int32_t AM = 0; // tremolo
    std::int32_t PM = 0; // vibrato
    std::int32_t WF = 0; // 0 sine, 1 half-wave rectified sine

    friend bool operator==(const FmPatch&, const FmPatch&) = default;
};

inline constexpr FmPatch NullPatch{};

inline constexpr int kInstrumentCount = 19; // user, 15 melodic, 3 rhythm
inline constexpr int kPatchCount = 2 * kInstrumentCount;
inline constexpr int kBassDrumInstrument = 16;
inline constexpr int kHighHatSnareInstrument = 17;
inline constexpr int kTomTomCymbalInstrument = 18;

using InstrumentImage = std::array<std::uint8_t, 8>;

// Row 0 is the user instrument, which the chip reset clears.
inline constexpr std::array<InstrumentImage, kInstrumentCount> BuiltInPatches{{
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
    {0x61, 0x61, 0x1E, 0x17, 0xF0, 0x7F, 0x00, 0x17},
    {0x13, 0x41, 0x16, 0x0E, 0xFD, 0xF4, 0x23, 0x23},
    {0x03, 0x01, 0x9A, 0x04, 0xF3, 0xF3, 0x13, 0xF3},
    {0x11, 0x61, 0x0E, 0x07, 0xFA, 0x64, 0x70, 0x17},
    {0x22, 0x21, 0x1E, 0x06, 0xF0, 0x76, 0x00, 0x28},
    {0x21, 0x22, 0x16, 0x05, 0xF0, 0x71, 0x00, 0x18},
    {0x21, 0x61, 0x1D, 0x07, 0x82, 0x80, 0x17, 0x17},
    {0x23, 0x21, 0x2D, 0x16, 0x90, 0x90, 0x00, 0x07},
    {0x21, 0x21, 0x1B, 0x06, 0x64, 0x65, 0x10, 0x17},
    {0x21, 0x21, 0x0B, 0x1A, 0x85, 0xA0, 0x70, 0x07},
    {0x23, 0x01, 0x83, 0x10, 0xFF, 0xB4, 0x10, 0xF4},
    {0x97, 0xC1, 0x20, 0x07, 0xFF, 0xF4, 0x22, 0x22},
    {0x61, 0x00, 0x0C, 0x05, 0xC2, 0xF6, 0x40, 0x44},
    {0x01, 0x01, 0x56, 0x03, 0x94, 0xC2, 0x03, 0x12},
    {0x21, 0x01, 0x89, 0x03, 0xF1, 0xE4, 0xF0, 0x23},
    {0x07, 0x21, 0x14, 0x00, 0xEE, 0xF8, 0xFF, 0xF8}, // bass drum
    {0x01, 0x31, 0x00, 0x00, 0xF8, 0xF7, 0xF8, 0xF7}, // high hat / snare drum
    {0x25, 0x11, 0x00, 0x00, 0xF8, 0xFA, 0xF8, 0x55}, // tom-tom / top cymbal
}};

// Field decoders for the bytes of an instrument image; register writes 0x00-0x07 use them
// one byte at a time.
constexpr void DecodeCharacter(std::uint8_t b, FmPatch& p) {
    p.AM = (b & fmreg::kAmBit) ? 1 : 0;
    p.PM = (b & fmreg::kPmBit) ? 1 : 0;
    p.EG = (b & fmreg::kEgBit) ? 1 : 0;
    p.KR = (b & fmreg::kKrBit) ? 1 : 0;
    p.ML = b & fmreg::kMlMask;
}
constexpr void DecodeModulatorLevel(std::uint8_t b, FmPatch& mod) {
    mod.KL = b >> fmreg::kKlShift;
    mod.TL = b & fmreg::kTlMask;
}
constexpr void DecodeWaveFeedback(std::uint8_t b, FmPatch& mod, FmPatch& car) {
    car.KL = b >> fmreg::kKlShift;
    car.WF = (b & fmreg::kCarrierWfBit) ? 1 : 0;
    mod.WF = (b & fmreg::kModulatorWfBit) ? 1 : 0;
    mod.FB = b & fmreg::kFbMask;
}
constexpr void DecodeRates(std::uint8_t b, FmPatch& p) {
    p.AR = b >> 4;
    p.DR = b & 0x0F;
}
constexpr void DecodeSustainRelease(std::uint8_t b, FmPatch& p) {
    p.SL = b >> 4;
    p.RR = b & 0x0F;
}

// Decodes a whole 8-byte image into its modulator and carrier. The carrier's TL and FB
// stay 0.
constexpr void DecodeInstrument(const InstrumentImage& image, FmPatch& mod, FmPatch& car) {
    mod = NullPatch;
    car = NullPatch;
    DecodeCharacter(image[0], mod);
    DecodeCharacter(image[1], car);
    DecodeModulatorLevel(image[2], mod);
    DecodeWaveFeedback(image[3], mod, car);
    DecodeRates(image[4], mod);
    DecodeRates(image[5], car);
    DecodeSustainRelease(image[6], mod);
    DecodeSustainRelease(image[7], car);
}

} // namespace velmar
