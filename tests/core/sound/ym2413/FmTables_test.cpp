#include <gtest/gtest.h>

#include "core/sound/ym2413/FmTables.h"

namespace velmar {
namespace {

class FmTablesTest : public ::testing::Test {
  protected:
    void SetUp() override { t.Build(3546893, 44100); }
    FmTables t;
};

TEST_F(FmTablesTest, WaveTablesAtTellingIndices) {
    // The first quarter starts one step in, so entry 0 is not silence.
    EXPECT_EQ(t.SineTable[0], 203);
    EXPECT_EQ(t.SineTable[255], 203);
    EXPECT_EQ(t.SineTable[127], 0);
    EXPECT_EQ(t.SineTable[128], 0);
    EXPECT_EQ(t.SineTable[256], 715);
    EXPECT_EQ(t.SineTable[383], 512);
    EXPECT_EQ(t.SineTable[511], 715);
    for (int i = 0; i < 128; ++i) {
        EXPECT_EQ(t.SineTable[i], t.SineTable[255 - i]) << i;
        EXPECT_EQ(t.SineTable[256 + i], t.SineTable[i] + 512) << i;
        if (i > 0) {
            EXPECT_LE(t.SineTable[i], t.SineTable[i - 1]) << i;
        }
    }
    for (int i = 0; i < 256; ++i) EXPECT_EQ(t.HalfSineTable[i], t.SineTable[i]);
    // The half sine's second half is silent at any attenuation.
    for (int i = 256; i < 512; ++i)
        for (int env : {0, 100, 254}) EXPECT_EQ(t.DbToLinTable[t.HalfSineTable[i] + env], 0);
    EXPECT_EQ(LinToDb(0.0), 255);
    EXPECT_EQ(LinToDb(1.0), 0);
    EXPECT_EQ(LinToDb(0.5), 32); // 6.02 dB / 0.1875
    EXPECT_EQ(LinToDb(1e-9), 255);
}

TEST_F(FmTablesTest, DbToLinHasSilentAndNegativeHalves) {
    EXPECT_EQ(t.DbToLinTable[0], 2047);
    EXPECT_EQ(t.DbToLinTable[1], 2003);
    EXPECT_EQ(t.DbToLinTable[2], 1960);
    EXPECT_EQ(t.DbToLinTable[32], 1025); // 6 dB down
    EXPECT_EQ(t.DbToLinTable[255], 8);
    for (int i = 256; i < 512; ++i) EXPECT_EQ(t.DbToLinTable[i], 0) << i;
    EXPECT_EQ(t.DbToLinTable[512], -2047);
    EXPECT_EQ(t.DbToLinTable[767], -8);
    for (int i = 768; i < 1024; ++i) EXPECT_EQ(t.DbToLinTable[i], 0) << i;
}

TEST_F(FmTablesTest, EnvelopeAndLfoTables) {
    EXPECT_EQ(t.AttackCurveTable[0], 128);
    EXPECT_EQ(t.AttackCurveTable[1], 127);
    EXPECT_EQ(t.AttackCurveTable[2], 108);
    EXPECT_EQ(t.AttackCurveTable[3], 98);
    EXPECT_EQ(t.AttackCurveTable[127], 0);

    EXPECT_EQ(t.AmTable[0], 12);
    EXPECT_EQ(t.AmTable[64], 25);
    EXPECT_EQ(t.AmTable[192], 0);
    EXPECT_EQ(t.PmTable[0], 256);
    EXPECT_EQ(t.PmTable[64], 258);
    EXPECT_EQ(t.PmTable[192], 253);
    EXPECT_EQ(t.PitchLfoStep, 10);
    EXPECT_EQ(t.AmLfoStep, 5);

    // AR 0 never attacks; AR 15 is an instant attack handled by the envelope itself.
    for (int k = 0; k < kKeyRates; ++k) {
        EXPECT_EQ(t.AttackRateTable[15][k], 0) << k;
        EXPECT_EQ(t.AttackRateTable[0][k], 0) << k;
        EXPECT_EQ(t.DecayRateTable[0][k], 0) << k;
    }
    EXPECT_EQ(t.AttackRateTable[1][0], 54);     // (12 << 2) x 1.117 rounded
    EXPECT_EQ(t.DecayRateTable[1][0], 4);       // (4 << 0) x 1.117 rounded
    EXPECT_EQ(t.DecayRateTable[14][7], 128114); // min(14 + 1, 15) = 15: 7 << 14
    EXPECT_EQ(t.DecayRateTable[15][15], 128114);
    EXPECT_EQ(SustainLevelTable[1], 262144u);
    EXPECT_EQ(SustainLevelTable[14], 14u * 262144u);
    EXPECT_EQ(SustainLevelTable[15], 4194304u);
}

TEST_F(FmTablesTest, RatesPhaseStepsAndKeyScaling) {
    EXPECT_EQ(t.RateAdjust(1), 1);
    EXPECT_EQ(t.RateAdjust(0), 0);
    // Phase steps keep 8 bits of fraction: 2048 x 256 per chip sample is 2287.74 x 256.
    EXPECT_EQ(t.PhaseStepTable[256][4][1], 585662);
    EXPECT_EQ(t.PhaseStepTable[0][7][15], 0);
    // ML 0 is half of ML 1: F 256, block 4 -> (256 << 4) >> 2 = 1024.
    EXPECT_EQ(t.PhaseStepTable[256][4][0], 292831);
    // ML 10 and 11 share a multiplier.
    EXPECT_EQ(t.PhaseStepTable[300][3][10], t.PhaseStepTable[300][3][11]);
    EXPECT_EQ(t.PhaseStepTable[511][7][15], t.RateAdjust(490560.0 * 256));

    EXPECT_EQ(t.KeyRateTable[1][7][1], 15u);
    EXPECT_EQ(t.KeyRateTable[0][5][1], 10u);
    EXPECT_EQ(t.KeyRateTable[1][5][0], 2u);

    for (int l = 0; l < kLevels; ++l) EXPECT_EQ(t.LevelTable[15][7][l][0], 2 * l);
    EXPECT_EQ(t.LevelTable[15][7][0][3], 112); // 42 / 0.375
    EXPECT_EQ(t.LevelTable[15][7][10][1], 46); // 20 + (42 >> 2) / 0.375 = 46.67
    EXPECT_EQ(t.LevelTable[8][5][3][2], 38);   // t = 36 - 12 = 24: 6 + 12 / 0.375
    EXPECT_EQ(t.LevelTable[15][0][5][3], 10);  // 42 - 42 = 0: no key scaling
    EXPECT_EQ(t.LevelTable[1][6][0][3], 32);   // 18 - 6 = 12: 12 / 0.375
}

TEST_F(FmTablesTest, BuiltInInstrumentsDecode) {
    const FmPatch& mod = t.DecodedPatches[2];
    const FmPatch& car = t.DecodedPatches[3];
    // Instrument 1: 61 61 1E 17 F0 7F 00 17
    EXPECT_EQ(mod, (FmPatch{30, 7, 1, 1, 15, 0, 0, 0, 0, 0, 0, 1, 0}));
    EXPECT_EQ(car, (FmPatch{0, 0, 1, 1, 7, 15, 1, 7, 0, 0, 0, 1, 1}));
    // Instrument 12: 97 C1 20 07 FF F4 22 22 (AM and KR on, carrier KL 0).
    EXPECT_EQ(t.DecodedPatches[24], (FmPatch{32, 7, 0, 7, 15, 15, 2, 2, 1, 0, 1, 0, 0}));
    EXPECT_EQ(t.DecodedPatches[25], (FmPatch{0, 0, 0, 1, 15, 4, 2, 2, 0, 0, 1, 1, 0}));
    // Bass drum carrier: 21 -> EG 1, ML 1; F8 -> AR 15 DR 8; F8 -> SL 15 RR 8.
    EXPECT_EQ(t.DecodedPatches[33], (FmPatch{0, 0, 1, 1, 15, 8, 15, 8, 0, 0, 0, 0, 0}));
    // Byte 3 bit 5 is ignored and byte 2 bits 7-6 give the modulator KL.
    FmPatch m, c;
    DecodeInstrument({0, 0, 0xC5, 0x2F, 0, 0, 0, 0}, m, c);
    EXPECT_EQ(m.KL, 3);
    EXPECT_EQ(m.TL, 5);
    EXPECT_EQ(m.FB, 7);
    EXPECT_EQ(m.WF, 1);
    EXPECT_EQ(c.WF, 0);
    EXPECT_EQ(c.KL, 0);
    EXPECT_EQ(c.TL, 0);
    EXPECT_EQ(t.DecodedPatches[0], NullPatch);
    EXPECT_EQ(t.DecodedPatches[1], NullPatch);

    // Every byte of every built-in instrument, re-encoded from the decoded pair.
    constexpr std::uint8_t kImages[18][8] = {
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
        {0x07, 0x21, 0x14, 0x00, 0xEE, 0xF8, 0xFF, 0xF8},
        {0x01, 0x31, 0x00, 0x00, 0xF8, 0xF7, 0xF8, 0xF7},
        {0x25, 0x11, 0x00, 0x00, 0xF8, 0xFA, 0xF8, 0x55},
    };
    const auto character = [](const FmPatch& p) {
        return (p.AM << 7) | (p.PM << 6) | (p.EG << 5) | (p.KR << 4) | p.ML;
    };
    for (int n = 1; n <= 18; ++n) {
        const FmPatch& m = t.DecodedPatches[2 * n];
        const FmPatch& c = t.DecodedPatches[2 * n + 1];
        const int bytes[8] = {character(m),       character(c),
                              (m.KL << 6) | m.TL, (c.KL << 6) | (c.WF << 4) | (m.WF << 3) | m.FB,
                              (m.AR << 4) | m.DR, (c.AR << 4) | c.DR,
                              (m.SL << 4) | m.RR, (c.SL << 4) | c.RR};
        for (int b = 0; b < 8; ++b)
            EXPECT_EQ(bytes[b], kImages[n - 1][b]) << "instrument " << n << " byte " << b;
        EXPECT_EQ(c.TL, 0);
        EXPECT_EQ(c.FB, 0);
    }
}

TEST(FmTablesConfig, ZeroClockOrRateFallsBackToTheConsole) {
    FmTables a, b;
    a.Build(0, 0);
    b.Build(3579545, 44100);
    EXPECT_EQ(a.PhaseStepTable[256][4][1], b.PhaseStepTable[256][4][1]);
    EXPECT_EQ(a.PitchLfoStep, 10);
}

} // namespace
} // namespace velmar
