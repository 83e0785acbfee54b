#include "filters/Hq2x.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <span>

#include "filters/Hq2xBands.h"
#include "filters/Hq2xTables.h"

namespace velmar {

namespace {

using hq2x::Blend;
using hq2x::BlendStep;

// Neighbourhood slots of w1..w9.
constexpr std::uint8_t kW1 = 0, kW2 = 1, kW3 = 2, kW4 = 3, kW5 = 4, kW6 = 5, kW7 = 6, kW8 = 7,
                       kW9 = 8;

constexpr int kWidth = kHq2xSourceWidth, kHeight = kHq2xSourceHeight;

// The four Different tests between orthogonal neighbours a rule may ask for, as bits of the
// plans; a pixel's answers sit in bits 0-3 of its info word in the same order.
constexpr unsigned kPairW2W4 = 0x100, kPairW2W6 = 0x200, kPairW8W4 = 0x400, kPairW6W8 = 0x800;
constexpr unsigned kCrossW2 = 1, kCrossW4 = 2, kCrossW6 = 4, kCrossW8 = 8;

// The pair bit that answers Different(slot a, slot b), or 0 when the pair is not one of the
// four between orthogonal neighbours.
constexpr unsigned PairBit(int a, int b) {
    const auto is = [&](int p, int q) { return (a == p && b == q) || (a == q && b == p); };
    return is(kW2, kW4)   ? kPairW2W4
           : is(kW2, kW6) ? kPairW2W6
           : is(kW8, kW4) ? kPairW8W4
           : is(kW6, kW8) ? kPairW6W8
                          : 0u;
}

// Every blend of 0x00RRGGBB colours is, channel by channel, (wa c5 + wb x + wc y) div 16
// with weights adding up to 16 (the div 4 and div 8 blends scaled up), so one branch-free
// multiply-add on colours spread to 16-bit lanes does them all. The 16-bit output's own 3:1
// and 2:1:1 blends (kind) are kept apart.
enum class Kind : std::uint8_t { Wide, Halves1, Halves2 };
struct Step {
    std::uint8_t wa = 16, wb = 0, wc = 0;
    std::uint8_t x = kW5, y = kW5;
    Kind kind = Kind::Wide;
};

Step ToStep(const BlendStep& s) {
    switch (s.blend) {
    case Blend::Copy: return {};
    case Blend::Interp1: return {12, 4, 0, s.x, kW5, Kind::Halves1};
    case Blend::Interp2: return {8, 4, 4, s.x, s.y, Kind::Halves2};
    case Blend::Interp6: return {10, 4, 2, s.x, s.y, Kind::Wide};
    case Blend::Interp7: return {12, 2, 2, s.x, s.y, Kind::Wide};
    case Blend::Interp9: return {4, 6, 6, s.x, s.y, Kind::Wide};
    case Blend::Interp10: return {14, 1, 1, s.x, s.y, Kind::Wide};
    }
    return {};
}

struct CornerPlan {
    Step otherwise;
    Step ifDifferent;
    std::uint16_t pairBit = 0;             // the test, answered from the row's info
    std::uint8_t testA = kW5, testB = kW5; // a test no pair bit answers
};
using BlockPlan = std::array<CornerPlan, hq2x::kCorners>;

// Plans 0-255: the rules of each pattern. Plans 256-271: no orthogonal neighbour is
// Different, by the cross bits: plain, a 3:1 blend towards the one unequal neighbour, or
// 2:1:1 blends of each corner's two neighbours.
constexpr int kFastPlans = 256;
using PlanTable = std::array<BlockPlan, 256 + 16>;

PlanTable BuildPlans() {
    PlanTable plans{};
    const hq2x::CornerRuleTable& rules = hq2x::CornerRules();
    for (std::size_t p = 0; p < 256; ++p) {
        for (std::size_t k = 0; k < hq2x::kCorners; ++k) {
            const hq2x::CornerRule& r = rules[p][k];
            CornerPlan& plan = plans[p][k];
            plan.otherwise = ToStep(r.otherwise);
            plan.ifDifferent = ToStep(r.ifDifferent);
            if (r.testA != r.testB) {
                plan.pairBit = static_cast<std::uint16_t>(PairBit(r.testA, r.testB));
                if (plan.pairBit == 0) plan.testA = r.testA, plan.testB = r.testB;
            }
        }
    }
    for (unsigned cross = 0; cross < 16; ++cross) {
        BlockPlan& plan = plans[kFastPlans + cross];
        const auto one = [](std::uint8_t slot) { return Step{12, 4, 0, slot, kW5, Kind::Halves1}; };
        const auto two = [](std::uint8_t x, std::uint8_t y) {
            return Step{8, 4, 4, x, y, Kind::Halves2};
        };
        switch (cross) {
        case 0: break;
        case kCrossW2: plan[0].otherwise = plan[1].otherwise = one(kW2); break;
        case kCrossW4: plan[0].otherwise = plan[2].otherwise = one(kW4); break;
        case kCrossW6: plan[1].otherwise = plan[3].otherwise = one(kW6); break;
        case kCrossW8: plan[2].otherwise = plan[3].otherwise = one(kW8); break;
        default:
            plan[0].otherwise = two(kW4, kW2);
            plan[1].otherwise = two(kW2, kW6);
            plan[2].otherwise = two(kW8, kW4);
            plan[3].otherwise = two(kW6, kW8);
            break;
        }
    }
    return plans;
}

const PlanTable& Plans() {
    static const PlanTable plans = BuildPlans();
    return plans;
}

// Each output pixel blends its block's centre with at most the three neighbours on its own
// side: the diagonal, the vertical and the horizontal one (upper left: w1, w2, w4). Its step
// resolved into weights of those four, per plan, corner and answer of its neighbour test, so
// that a row's blends become one multiply-add over whole rows.
struct Weights {
    std::uint16_t c = 16, d = 0, v = 0, h = 0;
};
// A resolved step packed in 8 bits: the diagonal weight (0 or 4) as bit 0, the vertical and
// horizontal weights (0 to 7) in bits 1-3 and 4-6 (the centre takes the rest of 16), bit 7
// set for the 16-bit output's halving blends. A pixel's four corners sit in one 32-bit word,
// upper left lowest, looked up by plan and the four Different tests between orthogonal
// neighbours.
using StepCode = std::uint8_t;
constexpr unsigned kHalvesCode = 0x80;
constexpr int kTestShift = 8; // the four tests in info bits 8-11
using ResolvedTable = std::array<std::uint32_t, (256 + 16) * 16>;

constexpr std::uint8_t kDiagonal[hq2x::kCorners] = {kW1, kW3, kW7, kW9};
constexpr std::uint8_t kVertical[hq2x::kCorners] = {kW2, kW2, kW8, kW8};
constexpr std::uint8_t kHorizontal[hq2x::kCorners] = {kW4, kW6, kW4, kW6};

Weights WeightsOf(const Step& step, int corner) {
    Weights w;
    w.c = step.wa;
    const auto add = [&](std::uint8_t slot, std::uint16_t weight) {
        if (slot == kDiagonal[corner])
            w.d = static_cast<std::uint16_t>(w.d + weight);
        else if (slot == kVertical[corner])
            w.v = static_cast<std::uint16_t>(w.v + weight);
        else if (slot == kHorizontal[corner])
            w.h = static_cast<std::uint16_t>(w.h + weight);
        else
            w.c = static_cast<std::uint16_t>(w.c + weight);
    };
    add(step.x, step.wb);
    add(step.y, step.wc);
    return w;
}

// Every rule's weights fit the packing (the pinned outputs cover them all).
StepCode CodeOf(const Step& step, int corner) {
    const Weights w = WeightsOf(step, corner);
    return static_cast<StepCode>(w.d >> 2 | w.v << 1 | w.h << 4 |
                                 (step.kind != Kind::Wide ? kHalvesCode : 0));
}

ResolvedTable BuildResolved() {
    ResolvedTable table{};
    const PlanTable& plans = Plans();
    for (std::size_t p = 0; p < plans.size(); ++p) {
        for (unsigned tests = 0; tests < 16; ++tests) {
            std::uint32_t codes = 0;
            for (int k = 0; k < hq2x::kCorners; ++k) {
                const CornerPlan& plan = plans[p][static_cast<std::size_t>(k)];
                const bool different = ((tests << kTestShift) & plan.pairBit) != 0;
                const StepCode code = CodeOf(different ? plan.ifDifferent : plan.otherwise, k);
                codes |= static_cast<std::uint32_t>(code) << (8 * k);
            }
            table[p * 16 + tests] = codes;
        }
    }
    return table;
}

const ResolvedTable& Resolved() {
    static const ResolvedTable table = BuildResolved();
    return table;
}

// The scaler works a row at a time on 16 pixels at once, in 16-bit lanes:
// 1. each row's colours are split into channel planes and Y, U, V values (once per row);
// 2. every pair of neighbouring pixels is compared once per frame: across a row, and between
//    a row and the one below it straight down and along both diagonals;
// 3. each pixel's pattern, its four tests between orthogonal neighbours and its cross bits
//    are assembled from those comparisons into an info word, which indexes the resolved
//    table (its four output pixels as weights of the centre and three neighbours);
// 4. each output pixel is one multiply-add per channel over the whole row; the 16-bit
//    output's halving blends are worked out beside it and chosen per pixel.
// Pixels whose block is plain (all four output pixels the centre colour) skip steps 3 and 4
// sixteen at a time.
constexpr int kLanes = 16;
using V16 = std::uint16_t __attribute__((vector_size(2 * kLanes)));
using V32 = std::uint32_t __attribute__((vector_size(2 * kLanes)));

#define VELMAR_HQ2X_INLINE [[gnu::always_inline]] inline

VELMAR_HQ2X_INLINE V16 Splat(unsigned value) {
    return V16{} + static_cast<std::uint16_t>(value);
}
VELMAR_HQ2X_INLINE V16 Load(const std::uint16_t* p) {
    V16 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <typename V> VELMAR_HQ2X_INLINE void Store(void* p, V v) {
    std::memcpy(p, &v, sizeof v);
}
// All ones where mask is set, else zero: the lanes of a where mask is all ones, else of b.
VELMAR_HQ2X_INLINE V16 Select(V16 mask, V16 a, V16 b) {
    return mask != 0 ? a : b;
}
VELMAR_HQ2X_INLINE V16 Mask(V16 condition) {
    return condition;
}

// A row: pixel x at index x + 1, the edge pixels repeated at 0 and kWidth + 1, and room
// behind for whole vectors read past the end (zero).
constexpr int kRowLength = kWidth + 3 * kLanes;
// Comparisons are kept for indices 0 to kWidth + 1 (a whole number of vectors).
constexpr int kPairLength = kWidth + 2 * kLanes;

struct alignas(32) Row {
    std::uint16_t raw[kRowLength];
    std::uint16_t r[kRowLength], g[kRowLength], b[kRowLength];
    // Y, U and V less their constant offsets (mod 2^16). With red and blue R, B in 0..31 and
    // green G in 0..63, the table's values are 2R + G + 2B, 128 + 2(R - B) and 128 - R + G - B.
    std::uint16_t y[kRowLength], u[kRowLength], v[kRowLength];
};

// The console's 64 colours are exactly the RGB565 values whose channels repeat their top two
// bits (red and blue 0, 10, 21, 31; green 0, 21, 42, 63): within each channel, bits two
// apart agree.
constexpr unsigned kConsoleBitPairs = 0x39E7;
VELMAR_HQ2X_INLINE V16 StrayBits(V16 p) {
    return (p ^ (p >> 2)) & Splat(kConsoleBitPairs);
}
VELMAR_HQ2X_INLINE bool AllZero(V16 v) {
    std::uint64_t words[4];
    std::memcpy(words, &v, sizeof words);
    return (words[0] | words[1] | words[2] | words[3]) == 0;
}
VELMAR_HQ2X_INLINE bool ConsoleColoursOnly(const std::uint16_t* source) {
    V16 stray{};
    for (int k = 0; k < kWidth * kHeight; k += kLanes) stray |= StrayBits(Load(source + k));
    return AllZero(stray);
}

// Any two unequal console colours are Different (each step of a channel moves U or V past
// its threshold), so for a picture of console colours unequal means Different and the Y, U
// and V values are not needed.
template <bool kConsole> VELMAR_HQ2X_INLINE void LoadRow(Row& row, const std::uint16_t* source) {
    row.raw[0] = source[0];
    for (int k = 0; k < kWidth; k += kLanes) Store(row.raw + 1 + k, Load(source + k));
    row.raw[kWidth + 1] = source[kWidth - 1];
    std::memset(row.raw + kWidth + 2, 0, (kRowLength - kWidth - 2) * sizeof(std::uint16_t));
    for (int k = 0; k < kRowLength; k += kLanes) {
        const V16 p = Load(row.raw + k);
        const V16 r = p >> 11, g = (p >> 5) & Splat(0x3F), b = p & Splat(0x1F);
        Store(row.r + k, r << 3);
        Store(row.g + k, g << 2);
        Store(row.b + k, b << 3);
        if constexpr (!kConsole) {
            Store(row.y + k, r + r + g + b + b);
            Store(row.u + k, r + r - b - b);
            Store(row.v + k, g - r - b);
        }
    }
}

// How two pixels compare: bit 0 set when they are unequal, bit 1 when they are Different.
template <bool kConsole> VELMAR_HQ2X_INLINE V16 Compare(const Row& p, int i, const Row& q, int j) {
    const V16 unequal = Mask(Load(p.raw + i) != Load(q.raw + j));
    if constexpr (kConsole) return unequal; // both bits, and all the others
    // A gap g exceeds the limit t exactly when (g + t) mod 2^16 > 2t.
    const V16 dy = Load(p.y + i) - Load(q.y + j) + Splat(hq2x::kYThreshold);
    const V16 du = Load(p.u + i) - Load(q.u + j) + Splat(hq2x::kUThreshold);
    const V16 dv = Load(p.v + i) - Load(q.v + j) + Splat(hq2x::kVThreshold);
    const V16 different = Mask(dy > Splat(2 * hq2x::kYThreshold)) |
                          Mask(du > Splat(2 * hq2x::kUThreshold)) |
                          Mask(dv > Splat(2 * hq2x::kVThreshold));
    return (unequal & Splat(1)) | (different & Splat(2));
}

// The comparisons between a row P and the row Q below it: down[k] compares P[k] with Q[k],
// right[k] P[k] with Q[k + 1], left[k] P[k + 1] with Q[k].
// They point at their own storage, or for two equal rows at the comparisons within the row.
struct Pairs {
    const std::uint16_t* down;
    const std::uint16_t* right;
    const std::uint16_t* left;
    alignas(32) std::uint16_t ownDown[kPairLength], ownRight[kPairLength], ownLeft[kPairLength];
};

template <bool kConsole>
VELMAR_HQ2X_INLINE void ComparePairs(const Row& p, const Row& q, bool diagonals, Pairs& out) {
    out.down = out.ownDown, out.right = out.ownRight, out.left = out.ownLeft;
    for (int k = 0; k < kPairLength; k += kLanes)
        Store(out.ownDown + k, Compare<kConsole>(p, k, q, k));
    if (!diagonals) return;
    for (int k = 0; k < kPairLength; k += kLanes) {
        Store(out.ownRight + k, Compare<kConsole>(p, k, q, k + 1));
        Store(out.ownLeft + k, Compare<kConsole>(p, k + 1, q, k));
    }
}

// Two equal rows: nothing differs straight down, and along the diagonals the comparisons
// are those within the row (the test is symmetric).
alignas(32) constexpr std::uint16_t kNoneUnequal[kPairLength] = {};
VELMAR_HQ2X_INLINE void PairsOfEqualRows(const std::uint16_t* across, Pairs& out) {
    out.down = kNoneUnequal, out.right = across, out.left = across;
}

template <bool kConsole>
VELMAR_HQ2X_INLINE void CompareAcross(const Row& c, std::uint16_t* across) {
    for (int k = 0; k < kPairLength; k += kLanes)
        Store(across + k, Compare<kConsole>(c, k, c, k + 1));
}

// A pixel's info word: the four tests between orthogonal neighbours in bits 0-3 (w2/w4,
// w2/w6, w8/w4, w6/w8), pattern bit n in bit n + 4, the cross bits in bits 12-15. Bits 0-11
// are then the resolved table's index for the pattern's rule.
template <int to> VELMAR_HQ2X_INLINE V16 DifferentBit(V16 code) {
    if constexpr (to == 0) {
        return (code >> 1) & Splat(1);
    } else {
        return (code & Splat(2)) << (to - 1);
    }
}
template <int to> VELMAR_HQ2X_INLINE V16 UnequalBit(V16 code) {
    return (code & Splat(1)) << to;
}
constexpr unsigned kOrthogonalInfo = hq2x::kOrthogonalBits << 4;
constexpr unsigned kPlainIndex = kFastPlans * 16; // no neighbour unequal: four plain pixels

// The resolved table's index of 16 pixels starting at padded index i.
template <bool kConsole>
VELMAR_HQ2X_INLINE V16 IndexOf(const Pairs& up, const std::uint16_t* across, const Pairs& down,
                               int i, bool filter) {
    if constexpr (kConsole) {
        // Comparisons are all ones where unequal, which is Different here: each one masks
        // its own bit, and a block with no unequal orthogonal neighbour is plain.
        const V16 w2 = Load(up.down + i), w4 = Load(across + i - 1), w6 = Load(across + i),
                  w8 = Load(down.down + i);
        const V16 info =
            (w2 & Splat(0x020)) | (w4 & Splat(0x080)) | (w6 & Splat(0x100)) | (w8 & Splat(0x400)) |
            (Load(up.right + i - 1) & Splat(0x010)) | (Load(up.left + i) & Splat(0x040)) |
            (Load(down.left + i - 1) & Splat(0x200)) | (Load(down.right + i) & Splat(0x800)) |
            (Load(up.left + i - 1) & Splat(0x001)) | (Load(up.right + i) & Splat(0x002)) |
            (Load(down.right + i - 1) & Splat(0x004)) | (Load(down.left + i) & Splat(0x008));
        return Select(Mask((w2 | w4 | w6 | w8) != 0), info, Splat(kPlainIndex));
    }
    const V16 w2 = Load(up.down + i), w4 = Load(across + i - 1), w6 = Load(across + i),
              w8 = Load(down.down + i);
    V16 info = DifferentBit<5>(w2) | DifferentBit<7>(w4) | DifferentBit<8>(w6) |
               DifferentBit<10>(w8) | UnequalBit<12>(w2) | UnequalBit<13>(w4) | UnequalBit<14>(w6) |
               UnequalBit<15>(w8);
    const V16 fast = Splat(kPlainIndex) | ((info >> 12) << 4);
    if (!filter)
        return Select(Mask((info & Splat(kOrthogonalInfo)) != 0), Splat(kPlainIndex), fast);
    info |= DifferentBit<4>(Load(up.right + i - 1)) | DifferentBit<6>(Load(up.left + i)) |
            DifferentBit<9>(Load(down.left + i - 1)) | DifferentBit<11>(Load(down.right + i)) |
            DifferentBit<0>(Load(up.left + i - 1)) | DifferentBit<1>(Load(up.right + i)) |
            DifferentBit<2>(Load(down.right + i - 1)) | DifferentBit<3>(Load(down.left + i));
    return Select(Mask((info & Splat(kOrthogonalInfo)) != 0), info & Splat(0xFFF), fast);
}

VELMAR_HQ2X_INLINE bool AllPlain(V16 index) {
    std::uint64_t words[4];
    std::memcpy(words, &index, sizeof words);
    constexpr std::uint64_t kPlain = 0x0001000100010001ull * kPlainIndex;
    return ((words[0] ^ kPlain) | (words[1] ^ kPlain) | (words[2] ^ kPlain) |
            (words[3] ^ kPlain)) == 0;
}

constexpr V16 kEvenLanes = {0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30};
constexpr V16 kOddLanes = {1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31};
constexpr V16 kZipLow = {0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23};
constexpr V16 kZipHigh = {8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31};
constexpr V32 kZipLow32 = {0, 8, 1, 9, 2, 10, 3, 11};
constexpr V32 kZipHigh32 = {4, 12, 5, 13, 6, 14, 7, 15};

// The four corners' step codes of 16 pixels, from their packed 32-bit words.
struct Corners {
    V16 code[hq2x::kCorners];
};
VELMAR_HQ2X_INLINE Corners Unpack(const std::uint32_t* codes) {
    V16 q[2];
    std::memcpy(q, codes, sizeof q);
    const V16 upper = __builtin_shuffle(q[0], q[1], kEvenLanes); // corners 0 and 1
    const V16 lower = __builtin_shuffle(q[0], q[1], kOddLanes);  // corners 2 and 3
    return {{upper & Splat(0xFF), upper >> 8, lower & Splat(0xFF), lower >> 8}};
}

struct LaneWeights {
    V16 c, d, v, h;
};
VELMAR_HQ2X_INLINE LaneWeights LaneWeightsOf(V16 code) {
    const V16 d = (code & Splat(1)) << 2, v = (code >> 1) & Splat(7), h = (code >> 4) & Splat(7);
    return {Splat(16) - d - v - h, d, v, h};
}

// One channel of one output line: the left pixel blends the centre with the neighbour row's
// pixel left of it (diagonal), above or below it (vertical) and the centre row's left one
// (horizontal); the right pixel likewise to the right. Sums stay below 16 x 256.
VELMAR_HQ2X_INLINE void BlendPlane(const std::uint16_t* centre, const std::uint16_t* next, int i,
                                   const LaneWeights& left, const LaneWeights& right, V16& outLeft,
                                   V16& outRight) {
    const V16 c = Load(centre + i), n = Load(next + i);
    outLeft =
        (left.c * c + left.d * Load(next + i - 1) + left.v * n + left.h * Load(centre + i - 1)) >>
        4;
    outRight = (right.c * c + right.d * Load(next + i + 1) + right.v * n +
                right.h * Load(centre + i + 1)) >>
               4;
}

// 16 left and 16 right output pixels as 0x00RRGGBB words, in output order, from the channels.
VELMAR_HQ2X_INLINE void PackWide(V16 rl, V16 gl, V16 bl, V16 rr, V16 gr, V16 br, V32 out[4]) {
    const V16 lowLeft = bl | (gl << 8), lowRight = br | (gr << 8);
    const V32 l0 = reinterpret_cast<V32>(__builtin_shuffle(lowLeft, rl, kZipLow));
    const V32 l1 = reinterpret_cast<V32>(__builtin_shuffle(lowLeft, rl, kZipHigh));
    const V32 r0 = reinterpret_cast<V32>(__builtin_shuffle(lowRight, rr, kZipLow));
    const V32 r1 = reinterpret_cast<V32>(__builtin_shuffle(lowRight, rr, kZipHigh));
    out[0] = __builtin_shuffle(l0, r0, kZipLow32);
    out[1] = __builtin_shuffle(l0, r0, kZipHigh32);
    out[2] = __builtin_shuffle(l1, r1, kZipLow32);
    out[3] = __builtin_shuffle(l1, r1, kZipHigh32);
}

constexpr unsigned kLowBitsClear = 0xF7DE, kRoundUnit = 0x0821;

// The 16-bit output's 3:1 and 2:1:1 blends on packed RGB565 values, halving twice with each
// channel's lowest bit cleared (the halves of two even values add without carry past 16 bits).
VELMAR_HQ2X_INLINE V16 Halves(V16 code, const LaneWeights& w, V16 c, V16 diagonal, V16 vertical,
                              V16 horizontal) {
    const V16 m = Splat(kLowBitsClear);
    const V16 zero{};
    const V16 first =
        Select(Mask(w.d != zero), diagonal, Select(Mask(w.v != zero), vertical, horizontal));
    const V16 second = Select(Mask(w.h != zero), horizontal, vertical);
    const V16 halfC = (c & m) >> 1;
    const V16 t = (halfC + ((first & m) >> 1) + Splat(kRoundUnit)) & m;
    const V16 one = Select(Mask(c == first), c, halfC + (t >> 1));
    const V16 s = Select(Mask(first == second), first,
                         ((first & m) >> 1) + ((second & m) >> 1) + Splat(kRoundUnit));
    const V16 two = Select(Mask(c == s), c, halfC + ((s & m) >> 1));
    (void)code;
    return Select(Mask(w.c == Splat(12)), one, two);
}

VELMAR_HQ2X_INLINE V16 Narrow(V16 r, V16 g, V16 b) {
    return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
}

// Stores 32 output pixels made as 0x00RRGGBB words: as they are at 32 bits a pixel, or three
// bytes a pixel at 24, eight pixels a store. Each 24-bit store's last eight bytes are
// overwritten by the next one (the row is stored left to right); the line's last store
// writes only its 24.
using Bytes32 = std::uint8_t __attribute__((vector_size(32)));
constexpr Bytes32 kDropFourth = {0,  1,  2,  4,  5,  6,  8,  9,  10, 12, 13, 14, 15, 15, 15, 15,
                                 16, 17, 18, 20, 21, 22, 24, 25, 26, 28, 29, 30, 31, 31, 31, 31};
constexpr V32 kJoinHalves = {0, 1, 2, 4, 5, 6, 7, 7};
template <int kBytes>
VELMAR_HQ2X_INLINE void StoreWide(std::uint8_t* out, const V32 (&pixels)[4], bool lineEnd) {
    if constexpr (kBytes == 4) {
        for (int k = 0; k < 4; ++k) Store(out + k * sizeof(V32), pixels[k]);
    } else {
        for (int k = 0; k < 4; ++k) {
            // Each half's fourth bytes dropped in place, then the two halves' 12 bytes joined.
            const auto packed =
                __builtin_shuffle(reinterpret_cast<Bytes32>(pixels[k]), kDropFourth);
            const V32 joined = __builtin_shuffle(reinterpret_cast<V32>(packed), kJoinHalves);
            if (k == 3 && lineEnd) {
                std::memcpy(out + 24 * k, &joined, 24);
            } else {
                Store(out + 24 * k, joined);
            }
        }
    }
}

// One output line (upper or lower) of 16 source pixels at padded index i.
template <int kBytes>
VELMAR_HQ2X_INLINE void BlendLine(const Row& c, const Row& n, int i, V16 leftCode, V16 rightCode,
                                  std::uint8_t* out, bool lineEnd) {
    const LaneWeights wl = LaneWeightsOf(leftCode), wr = LaneWeightsOf(rightCode);
    V16 rl, rr, gl, gr, bl, br;
    BlendPlane(c.r, n.r, i, wl, wr, rl, rr);
    BlendPlane(c.g, n.g, i, wl, wr, gl, gr);
    BlendPlane(c.b, n.b, i, wl, wr, bl, br);
    if constexpr (kBytes == 2) {
        const V16 centre = Load(c.raw + i), vertical = Load(n.raw + i);
        const V16 hl =
            Halves(leftCode, wl, centre, Load(n.raw + i - 1), vertical, Load(c.raw + i - 1));
        const V16 hr =
            Halves(rightCode, wr, centre, Load(n.raw + i + 1), vertical, Load(c.raw + i + 1));
        const V16 halvesBit = Splat(kHalvesCode);
        const V16 left = Select(Mask((leftCode & halvesBit) != 0), hl, Narrow(rl, gl, bl));
        const V16 right = Select(Mask((rightCode & halvesBit) != 0), hr, Narrow(rr, gr, br));
        Store(out, __builtin_shuffle(left, right, kZipLow));
        Store(out + sizeof(V16), __builtin_shuffle(left, right, kZipHigh));
    } else {
        V32 pixels[4];
        PackWide(rl, gl, bl, rr, gr, br, pixels);
        StoreWide<kBytes>(out, pixels, lineEnd);
    }
}

// 16 source pixels whose blocks are plain: both output lines the same doubled pixels.
template <int kBytes>
VELMAR_HQ2X_INLINE void PlainLines(const Row& c, int i, std::uint8_t* upper, std::uint8_t* lower,
                                   bool lineEnd) {
    if constexpr (kBytes == 2) {
        const V16 p = Load(c.raw + i);
        const V16 lo = __builtin_shuffle(p, p, kZipLow), hi = __builtin_shuffle(p, p, kZipHigh);
        Store(upper, lo), Store(upper + sizeof(V16), hi);
        Store(lower, lo), Store(lower + sizeof(V16), hi);
    } else {
        const V16 r = Load(c.r + i), g = Load(c.g + i), b = Load(c.b + i);
        V32 pixels[4];
        PackWide(r, g, b, r, g, b, pixels);
        StoreWide<kBytes>(upper, pixels, lineEnd);
        StoreWide<kBytes>(lower, pixels, lineEnd);
    }
}

// A frame is scaled in bands of rows, by up to four threads (see Scale).
constexpr int kBands = 8;
// A row's runs of 16 pixels; a cache marks which of them to scale by the bits of a word.
constexpr int kRuns = kWidth / kLanes;
constexpr std::uint16_t kEveryRun = 0xFFFF;
static_assert(kRuns == 16 && kBands <= hq2x::BandThreads::kMostBands);

// The bytes of an output line at kBytes bytes a pixel.
template <int kBytes> constexpr std::ptrdiff_t kLineBytes = std::ptrdiff_t{2 * kWidth} * kBytes;

// What one frame's scaling needs, shared by the threads that scale its bands.
struct Job {
    const std::uint16_t* source;
    std::uint8_t* dest;
    std::ptrdiff_t pitch;
    bool filter;
    const ResolvedTable* resolved;
    // Through a cache that keeps this frame: per source row the runs to scale, and the kept
    // output (lines packed), which the other runs are copied from and the scaled ones copied
    // to. Otherwise every run is scaled and nothing is kept.
    const std::uint16_t* runs = nullptr;
    std::uint8_t* kept = nullptr;
    Hq2xCache* cache = nullptr;
    // Band b: source rows bounds[b] to bounds[b + 1] - 1.
    std::array<int, kBands + 1> bounds{};
};

// Source rows y0 to y1 - 1 of a frame, into their output lines; with kKept (the job's
// cache keeps the frame) only the runs it marks, the others copied from the kept output.
// Runs are done left to right, so the eight bytes a 24-bit run stores past its end are
// overwritten by the next run.
template <int kBytes, bool kConsole, bool kKept>
VELMAR_HQ2X_INLINE void ScaleRows(const Job& job, int y0, int y1) {
    const std::uint16_t* source = job.source;
    std::uint8_t* dest = job.dest;
    const std::ptrdiff_t pitch = job.pitch;
    const bool filter = job.filter;
    const ResolvedTable& resolved = *job.resolved;
    constexpr std::size_t kRunBytes = 2 * kLanes * kBytes;
    Row rows[3];
    Pairs pairs[2];
    alignas(32) std::uint16_t across[kPairLength];
    alignas(32) std::uint16_t index[kWidth];
    alignas(32) std::uint32_t codes[kWidth];

    // Rows are read-only once loaded, so a row equal to the one before it, or the frame's
    // edge rows seen beyond the edge, are the same Row; the comparisons within a row are
    // worked out again only when the centre moves to another Row.
    Pairs* up = &pairs[0];
    Pairs* down = &pairs[1];
    Row* above = &rows[0];
    Row* centre = &rows[0];
    const std::uint16_t* first = source + y0 * kWidth;
    if (y0 == 0) {
        LoadRow<kConsole>(*centre, first);
    } else {
        LoadRow<kConsole>(*above, first - kWidth);
        if (std::memcmp(first, first - kWidth, kWidth * sizeof(std::uint16_t)) != 0) {
            centre = &rows[1];
            LoadRow<kConsole>(*centre, first);
            ComparePairs<kConsole>(*above, *centre, filter, *up);
        }
    }
    CompareAcross<kConsole>(*centre, across);
    if (centre == above) PairsOfEqualRows(across, *up);
    for (int y = y0; y < y1; ++y) {
        Row* below = centre;
        const std::uint16_t* next = source + (y + 1) * kWidth;
        if (y + 1 < kHeight &&
            std::memcmp(next, next - kWidth, kWidth * sizeof(std::uint16_t)) != 0) {
            below = &rows[0] == above || &rows[0] == centre
                        ? (&rows[1] == above || &rows[1] == centre ? &rows[2] : &rows[1])
                        : &rows[0];
            LoadRow<kConsole>(*below, next);
            ComparePairs<kConsole>(*centre, *below, filter, *down);
        } else {
            PairsOfEqualRows(across, *down);
        }

        std::uint8_t* upper = dest + 2 * y * pitch;
        std::uint8_t* lower = upper + pitch;
        [[maybe_unused]] const unsigned runs = kKept ? job.runs[y] : kEveryRun;
        [[maybe_unused]] std::uint8_t* keptUpper =
            kKept ? job.kept + 2 * y * kLineBytes<kBytes> : nullptr;
        for (int x = 0; x < kWidth; x += kLanes) {
            const int i = x + 1;
            const std::ptrdiff_t at = 2 * x * kBytes;
            std::uint8_t* u = upper + at;
            std::uint8_t* l = lower + at;
            if constexpr (kKept) {
                if ((runs >> (x / kLanes) & 1) == 0) {
                    std::memcpy(u, keptUpper + at, kRunBytes);
                    std::memcpy(l, keptUpper + kLineBytes<kBytes> + at, kRunBytes);
                    continue;
                }
            }
            const auto keep = [&] {
                if constexpr (kKept) {
                    std::memcpy(keptUpper + at, u, kRunBytes);
                    std::memcpy(keptUpper + kLineBytes<kBytes> + at, l, kRunBytes);
                }
            };
            const V16 chunk = IndexOf<kConsole>(*up, across, *down, i, filter);
            const bool lineEnd = x + kLanes == kWidth;
            if (AllPlain(chunk)) {
                PlainLines<kBytes>(*centre, i, u, l, lineEnd);
                keep();
                continue;
            }
            Store(index + x, chunk);
            for (int k = 0; k < kLanes; ++k) codes[x + k] = resolved[index[x + k]];
            const Corners corners = Unpack(codes + x);
            BlendLine<kBytes>(*centre, *above, i, corners.code[0], corners.code[1], u, lineEnd);
            BlendLine<kBytes>(*centre, *below, i, corners.code[2], corners.code[3], l, lineEnd);
            keep();
        }

        above = centre;
        if (below != centre) {
            centre = below;
            CompareAcross<kConsole>(*centre, across);
        }
        Pairs* spent = up;
        up = down;
        down = spent;
    }
}

// Rows y0 to y1 - 1: every run of rows with something to scale through ScaleRows, the
// other rows' lines copied whole from the kept output.
template <int kBytes, bool kConsole>
VELMAR_HQ2X_INLINE void ScaleOrCopyRows(const Job& job, int y0, int y1) {
    if (job.runs == nullptr) {
        ScaleRows<kBytes, kConsole, false>(job, y0, y1);
        return;
    }
    for (int y = y0; y < y1;) {
        int end = y;
        while (end < y1 && job.runs[end] != 0) ++end;
        if (end > y) {
            ScaleRows<kBytes, kConsole, true>(job, y, end);
            y = end;
            continue;
        }
        std::uint8_t* upper = job.dest + 2 * y * job.pitch;
        const std::uint8_t* kept = job.kept + 2 * y * kLineBytes<kBytes>;
        std::memcpy(upper, kept, kLineBytes<kBytes>);
        std::memcpy(upper + job.pitch, kept + kLineBytes<kBytes>, kLineBytes<kBytes>);
        ++y;
    }
}

// How a row differs from the kept row, by runs of 16 pixels (bit k: pixels 16k to 16k + 15):
// the runs that differ, and those whose first or last pixel does.
struct RowChanges {
    unsigned runs = 0, first = 0, last = 0;
};
inline RowChanges ChangesOf(const std::uint16_t* now, const std::uint16_t* was) {
    RowChanges c;
    for (int k = 0; k < kRuns; ++k) {
        const int x = k * kLanes;
        if (AllZero(Load(now + x) ^ Load(was + x))) continue;
        c.runs |= 1u << k;
        c.first |= (now[x] != was[x] ? 1u : 0u) << k;
        c.last |= (now[x + kLanes - 1] != was[x + kLanes - 1] ? 1u : 0u) << k;
    }
    return c;
}

// Copies a row into the kept source; true when it holds a colour that is not the console's.
inline bool KeepRow(const std::uint16_t* row, std::uint16_t* kept) {
    V16 stray{};
    for (int k = 0; k < kWidth; k += kLanes) {
        const V16 p = Load(row + k);
        Store(kept + k, p);
        stray |= StrayBits(p);
    }
    return !AllZero(stray);
}

// Without the filter a picture of console colours has no similar neighbours to blend, so
// every block is plain: each pixel doubled across and down. The pixels are checked on the
// way; false when one is not a console colour (the frame must then be scaled in full).
template <int kBytes>
VELMAR_HQ2X_INLINE bool DoubleFrame(const std::uint16_t* source, std::uint8_t* dest,
                                    std::ptrdiff_t pitch) {
    V16 stray{};
    for (int y = 0; y < kHeight; ++y) {
        std::uint8_t* upper = dest + 2 * y * pitch;
        std::uint8_t* lower = upper + pitch;
        const std::uint16_t* row = source + y * kWidth;
        for (int x = 0; x < kWidth; x += kLanes) {
            const V16 p = Load(row + x);
            stray |= StrayBits(p);
            std::uint8_t* u = upper + 2 * x * kBytes;
            std::uint8_t* l = lower + 2 * x * kBytes;
            if constexpr (kBytes == 2) {
                const V16 lo = __builtin_shuffle(p, p, kZipLow);
                const V16 hi = __builtin_shuffle(p, p, kZipHigh);
                Store(u, lo), Store(u + sizeof(V16), hi);
                Store(l, lo), Store(l + sizeof(V16), hi);
            } else {
                const V16 r = (p >> 11) << 3, g = ((p >> 5) & Splat(0x3F)) << 2,
                          b = (p & Splat(0x1F)) << 3;
                V32 pixels[4];
                PackWide(r, g, b, r, g, b, pixels);
                const bool lineEnd = x + kLanes == kWidth;
                StoreWide<kBytes>(u, pixels, lineEnd);
                StoreWide<kBytes>(l, pixels, lineEnd);
            }
        }
    }
    return AllZero(stray);
}

} // namespace

// What a cache keeps, read and written by the scaler.
struct hq2x::CacheAccess {
    // The changed rows of a frame at kBytes bytes a pixel into the cache's kept source, and
    // when its kept output fits, the runs to scale: those whose neighbourhood changed (the
    // row above and below, the pixel either side). Returns whether the source holds only
    // console colours.
    template <int kBytes>
    VELMAR_HQ2X_INLINE static bool Keep(Hq2xCache& cache, const std::uint16_t* source, bool filter);
    // Makes room for a frame at kBytes bytes a pixel (the first time only).
    template <int kBytes> static void Ready(Hq2xCache& cache);
    // Points the job at the kept output and the runs to scale, when the frame is kept.
    static void Point(Hq2xCache& cache, Job& job);
};

namespace {

// A frame where more rows than this changed (a scroll) is scaled whole and its output not
// kept: the next frame is likely to change as much, and keeping costs a copy of every line.
constexpr int kMostChangedRows = kHeight * 7 / 8;

} // namespace

template <int kBytes>
bool hq2x::CacheAccess::Keep(Hq2xCache& cache, const std::uint16_t* source, bool filter) {
    constexpr std::size_t kRowBytes = kWidth * sizeof(std::uint16_t);
    std::uint16_t* kept = cache.source_.data();
    std::array<bool, kHeight> changed;
    int changedRows = 0;
    for (std::size_t y = 0; y < kHeight; ++y) {
        changed[y] = !cache.sourceKept_ ||
                     std::memcmp(source + y * kWidth, kept + y * kWidth, kRowBytes) != 0;
        changedRows += changed[y];
    }
    const bool keep = changedRows <= kMostChangedRows;
    const bool reuse = keep && cache.bytesPerPixel_ == kBytes && cache.filter_ == filter;
    std::array<RowChanges, kHeight> changes{};
    bool console = true;
    for (std::size_t y = 0; y < kHeight; ++y) {
        const std::uint16_t* row = source + y * kWidth;
        if (changed[y]) {
            if (reuse) changes[y] = ChangesOf(row, kept + y * kWidth);
            cache.stray_[y] = KeepRow(row, kept + y * kWidth);
        }
        console = console && !cache.stray_[y];
    }
    cache.sourceKept_ = true;
    cache.bytesPerPixel_ = keep ? kBytes : 0;
    cache.filter_ = filter;
    // A run is scaled when a pixel of it or next to it changed, in its row or the one above
    // or below.
    for (int y = 0; y < kHeight; ++y) {
        const auto at = [](int row) {
            return static_cast<std::size_t>(std::clamp(row, 0, kHeight - 1));
        };
        RowChanges near;
        for (const std::size_t r : {at(y - 1), at(y), at(y + 1)}) {
            near.runs |= changes[r].runs;
            near.first |= changes[r].first;
            near.last |= changes[r].last;
        }
        cache.runs_[at(y)] = static_cast<std::uint16_t>(
            reuse ? near.runs | near.last << 1 | near.first >> 1 : kEveryRun);
    }
    return console;
}

template <int kBytes> void hq2x::CacheAccess::Ready(Hq2xCache& cache) {
    constexpr std::size_t kOutputBytes = static_cast<std::size_t>(kLineBytes<kBytes>) * 2 * kHeight;
    cache.source_.resize(static_cast<std::size_t>(kWidth * kHeight));
    if (cache.output_.size() < kOutputBytes) cache.output_.resize(kOutputBytes);
}

void hq2x::CacheAccess::Point(Hq2xCache& cache, Job& job) {
    if (cache.bytesPerPixel_ == 0) return;
    job.kept = cache.output_.data();
    job.runs = cache.runs_.data();
}

namespace {

// How a frame is scaled: in full, comparing pixels by equality (console colours only), or
// doubled (console colours only, filter off); or only checked for console colours, or
// kept in a cache.
enum class Way : std::uint8_t { Full, Console, Double, Check, Keep };

// Scales rows y0 to y1 - 1 the given way; doubling does the whole frame, checking writes
// nothing, and keeping writes only the cache. False when doubling, checking or keeping finds
// a colour that is not the console's.
template <int kBytes, Way kWay> VELMAR_HQ2X_INLINE bool ScaleBand(const Job& job, int y0, int y1) {
    if constexpr (kWay == Way::Double) {
        return DoubleFrame<kBytes>(job.source, job.dest, job.pitch);
    } else if constexpr (kWay == Way::Check) {
        return ConsoleColoursOnly(job.source);
    } else if constexpr (kWay == Way::Keep) {
        return hq2x::CacheAccess::Keep<kBytes>(*job.cache, job.source, job.filter);
    } else {
        ScaleOrCopyRows<kBytes, kWay == Way::Console>(job, y0, y1);
        return true;
    }
}

using BandFn = bool (*)(const Job&, int, int);

template <int kBytes, Way kWay> bool BandBaseline(const Job& job, int y0, int y1) {
    return ScaleBand<kBytes, kWay>(job, y0, y1);
}

std::atomic<bool> baselineOnly{false};

#if defined(__x86_64__) || defined(__i386__)
// The same code built for processors with 256-bit integer vectors, chosen at run time.
template <int kBytes, Way kWay>
[[gnu::target("avx2")]] bool BandAvx2(const Job& job, int y0, int y1) {
    return ScaleBand<kBytes, kWay>(job, y0, y1);
}

template <int kBytes, Way kWay> BandFn Widest() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? &BandAvx2<kBytes, kWay> : &BandBaseline<kBytes, kWay>;
}
#else
template <int kBytes, Way kWay> BandFn Widest() {
    return &BandBaseline<kBytes, kWay>;
}
#endif

template <int kBytes, Way kWay> BandFn BandOf() {
    static const BandFn widest = Widest<kBytes, kWay>();
    return baselineOnly.load(std::memory_order_relaxed) ? &BandBaseline<kBytes, kWay> : widest;
}

// A band of a frame for the band threads.
struct BandRun {
    const Job* job;
    BandFn band;
};
void RunBand(const void* run, int b) {
    const BandRun& r = *static_cast<const BandRun*>(run);
    r.band(*r.job, r.job->bounds[static_cast<std::size_t>(b)],
           r.job->bounds[static_cast<std::size_t>(b) + 1]);
}

// Every thread that scales a frame must have at least this many runs of 16 pixels to scale,
// 48 rows' worth (a quarter of a frame), so a helper is woken only for a frame with half a
// frame's worth or more. Waking a thread and waiting for it to finish costs two hand-overs
// between threads, the time of scaling a dozen rows or more when the processors are idle
// and far more when they are busy; with less, the presenting thread scales alone and wakes
// no one.
constexpr int kRunsPerThread = 48 * kRuns;
// Splitting the rows into bands, a scaled run weighs as much as copying eight.
constexpr int kScaleWeight = 8;

// Bands of equal work: scaled runs plus copied ones, weighed.
void BalanceBands(Job& job) {
    std::array<int, kHeight> weight;
    int total = 0;
    for (int y = 0; y < kHeight; ++y) {
        int scaled = 0;
        for (unsigned left = job.runs[y]; left != 0; left &= left - 1) ++scaled;
        weight[static_cast<std::size_t>(y)] = kScaleWeight * scaled + (kRuns - scaled);
        total += weight[static_cast<std::size_t>(y)];
    }
    int sum = 0, b = 1;
    for (int y = 0; y < kHeight && b < kBands; ++y) {
        sum += weight[static_cast<std::size_t>(y)];
        while (b < kBands && sum * kBands >= b * total)
            job.bounds[static_cast<std::size_t>(b++)] = y + 1;
    }
    job.bounds[kBands] = kHeight;
}

// The presenting thread scales with helpers only when the frame has enough to scale: one
// more thread for each kRunsPerThread runs, up to the band threads there are.
template <int kBytes>
void Scale(const std::uint16_t* source, std::uint8_t* dest, std::ptrdiff_t pitch,
           std::uint8_t filterEnabled, Hq2xCache* cache) {
    Job job{source, dest, pitch, filterEnabled == 1, &Resolved()};
    // Machine pictures hold only console colours, so the cheaper ways are tried first.
    // Doubling passes a cache by: what it keeps still matches its own last frame.
    if (!job.filter && BandOf<kBytes, Way::Double>()(job, 0, kHeight)) return;
    int runs = kHeight * kRuns;
    bool console;
    if (cache != nullptr) {
        job.cache = cache;
        hq2x::CacheAccess::Ready<kBytes>(*cache);
        console = BandOf<kBytes, Way::Keep>()(job, 0, kHeight);
        hq2x::CacheAccess::Point(*cache, job);
        if (job.runs != nullptr) {
            runs = 0;
            for (const std::uint16_t r : std::span(job.runs, kHeight))
                for (unsigned left = r; left != 0; left &= left - 1) ++runs;
        }
    } else {
        console = job.filter && BandOf<kBytes, Way::Check>()(job, 0, kHeight);
    }
    const BandFn band = console ? BandOf<kBytes, Way::Console>() : BandOf<kBytes, Way::Full>();
    hq2x::BandThreads* threads = hq2x::BandThreads::Instance();
    const int helpers =
        threads == nullptr ? 0 : std::min(threads->Helpers(), runs / kRunsPerThread - 1);
    if (helpers <= 0) {
        band(job, 0, kHeight);
        return;
    }
    if (job.runs != nullptr) {
        BalanceBands(job);
    } else {
        for (int b = 0; b <= kBands; ++b)
            job.bounds[static_cast<std::size_t>(b)] = b * kHeight / kBands;
    }
    const BandRun run{&job, band};
    threads->Run(&run, &RunBand, kBands, helpers);
}

} // namespace

void Hq2x16(const std::uint16_t* source, std::uint8_t* dest, std::ptrdiff_t pitch,
            std::uint8_t filterEnabled) {
    Scale<2>(source, dest, pitch, filterEnabled, nullptr);
}

void Hq2x24(const std::uint16_t* source, std::uint8_t* dest, std::ptrdiff_t pitch,
            std::uint8_t filterEnabled) {
    Scale<3>(source, dest, pitch, filterEnabled, nullptr);
}

void Hq2x32(const std::uint16_t* source, std::uint8_t* dest, std::ptrdiff_t pitch,
            std::uint8_t filterEnabled) {
    Scale<4>(source, dest, pitch, filterEnabled, nullptr);
}

void Hq2x16(const std::uint16_t* source, std::uint8_t* dest, std::ptrdiff_t pitch,
            std::uint8_t filterEnabled, Hq2xCache& cache) {
    Scale<2>(source, dest, pitch, filterEnabled, &cache);
}

void Hq2x24(const std::uint16_t* source, std::uint8_t* dest, std::ptrdiff_t pitch,
            std::uint8_t filterEnabled, Hq2xCache& cache) {
    Scale<3>(source, dest, pitch, filterEnabled, &cache);
}

void Hq2x32(const std::uint16_t* source, std::uint8_t* dest, std::ptrdiff_t pitch,
            std::uint8_t filterEnabled, Hq2xCache& cache) {
    Scale<4>(source, dest, pitch, filterEnabled, &cache);
}

namespace hq2x {

void UseBaselineCode(bool baseline) {
    baselineOnly.store(baseline, std::memory_order_relaxed);
}

} // namespace hq2x

} // namespace velmar
