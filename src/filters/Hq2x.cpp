#include "filters/Hq2x.h"

#include <array>
#include <bit>
#include <cstring>
#include <type_traits>
#include <utility>

#include "filters/Hq2xPixels.h"
#include "filters/Hq2xTables.h"

namespace velmar {

namespace {

using hq2x::Blend;
using hq2x::BlendStep;

// Neighbourhood slots of w1..w9.
constexpr std::uint8_t kW1 = 0, kW2 = 1, kW3 = 2, kW4 = 3, kW5 = 4, kW6 = 5, kW7 = 6, kW8 = 7,
                       kW9 = 8;

constexpr int kWidth = kHq2xSourceWidth, kHeight = kHq2xSourceHeight;
// A row with its edge pixels repeated once on each side: pixel x sits at index x + 1.
constexpr int kPadded = kWidth + 2;
using PaddedRow = std::array<std::uint16_t, kPadded>;

// How two pixels compare, one word per pair: bit 0 set when they are unequal, bit 1 when they
// are Different. The YUV test is done on the RGB565 fields: with red and blue R, B in 0..31
// and green G in 0..63, the table's Y, U and V are 2R + G + 2B, 128 + 2(R - B) and
// 128 - R + G - B exactly, so each row's Y, U and V are worked out once without a lookup,
// and every pair is compared once per frame in plain loops the compiler vectorises.
constexpr int kUnequalBit = 0, kDifferentBit = 1;

// A row's Y, U and V less their constant offsets (mod 2^16), for the comparisons.
struct YuvRow {
    std::array<std::uint16_t, kPadded> y, u, v;
    void Load(const PaddedRow& row) {
        for (int k = 0; k < kPadded; ++k) {
            const std::size_t i = static_cast<std::size_t>(k);
            const unsigned r = row[i] >> 11, g = (row[i] >> 5) & 0x3F, b = row[i] & 0x1F;
            y[i] = static_cast<std::uint16_t>(2 * r + g + 2 * b);
            u[i] = static_cast<std::uint16_t>(2 * r - 2 * b);
            v[i] = static_cast<std::uint16_t>(g - r - b);
        }
    }
};

// Compares pixel i of row p with pixel j of row q.
inline std::uint16_t Compare(const PaddedRow& p, const YuvRow& py, std::size_t i,
                             const PaddedRow& q, const YuvRow& qy, std::size_t j) {
    // 16-bit lanes throughout; a gap g exceeds limit t exactly when (g + t) mod 2^16 > 2t.
    using U16 = std::uint16_t;
    const U16 dy = static_cast<U16>(py.y[i] - qy.y[j] + hq2x::kYThreshold);
    const U16 du = static_cast<U16>(py.u[i] - qy.u[j] + hq2x::kUThreshold);
    const U16 dv = static_cast<U16>(py.v[i] - qy.v[j] + hq2x::kVThreshold);
    const unsigned different = static_cast<unsigned>(dy > 2 * hq2x::kYThreshold) |
                               static_cast<unsigned>(du > 2 * hq2x::kUThreshold) |
                               static_cast<unsigned>(dv > 2 * hq2x::kVThreshold);
    return static_cast<std::uint16_t>(static_cast<unsigned>(p[i] != q[j]) << kUnequalBit |
                                      different << kDifferentBit);
}

using Comparisons = std::array<std::uint16_t, kPadded>;

// The comparisons between two neighbouring rows P (upper) and Q (lower), padded indices:
// down[k] compares P[k] with Q[k], right[k] P[k] with Q[k + 1], left[k] P[k + 1] with Q[k].
struct RowPairs {
    Comparisons down;
    Comparisons right;
    Comparisons left;

    void Compute(const PaddedRow& p, const YuvRow& py, const PaddedRow& q, const YuvRow& qy,
                 bool diagonals) {
        for (std::size_t k = 0; k < kPadded; ++k) down[k] = Compare(p, py, k, q, qy, k);
        if (!diagonals) return;
        for (std::size_t k = 0; k + 1 < kPadded; ++k) right[k] = Compare(p, py, k, q, qy, k + 1);
        for (std::size_t k = 0; k + 1 < kPadded; ++k) left[k] = Compare(p, py, k + 1, q, qy, k);
    }

    // Two equal rows: no pixel unequal straight down, and across the diagonals the
    // comparisons within the row (the test is symmetric).
    void FromEqualRows(const Comparisons& across, bool diagonals) {
        down.fill(0);
        if (!diagonals) return;
        right = across;
        left = across;
    }
};

// Per pixel of a row: pattern bits 0-7, the Different tests between orthogonal neighbours in
// bits 8-11, the cross bits (orthogonal neighbour unequal: w2, w4, w6, w8) in bits 12-15.
constexpr unsigned kPairW2W4 = 0x100, kPairW2W6 = 0x200, kPairW8W4 = 0x400, kPairW6W8 = 0x800;
constexpr int kCrossShift = 12;
constexpr unsigned kCrossW2 = 1, kCrossW4 = 2, kCrossW6 = 4, kCrossW8 = 8;
using RowInfo = std::array<std::uint16_t, kWidth>;

// Bit `which` of a comparison, moved to bit `to`.
template <int which, int to> inline std::uint16_t Bit(std::uint16_t code) {
    return static_cast<std::uint16_t>(((code >> which) & 1) << to);
}

void AssembleInfo(const Comparisons& across, const RowPairs& up, const RowPairs& down,
                  bool diagonals, RowInfo& info) {
    constexpr int kD = kDifferentBit, kU = kUnequalBit, kC = kCrossShift;
    for (int x = 0; x < kWidth; ++x) {
        info[x] = static_cast<std::uint16_t>(
            Bit<kD, 1>(up.down[x + 1]) | Bit<kD, 3>(across[x]) | Bit<kD, 4>(across[x + 1]) |
            Bit<kD, 6>(down.down[x + 1]) | Bit<kU, kC>(up.down[x + 1]) |
            Bit<kU, kC + 1>(across[x]) | Bit<kU, kC + 2>(across[x + 1]) |
            Bit<kU, kC + 3>(down.down[x + 1]));
    }
    if (!diagonals) return;
    for (int x = 0; x < kWidth; ++x) {
        info[x] = static_cast<std::uint16_t>(
            info[x] | Bit<kD, 0>(up.right[x]) | Bit<kD, 2>(up.left[x + 1]) |
            Bit<kD, 5>(down.left[x]) | Bit<kD, 7>(down.right[x + 1]) | Bit<kD, 8>(up.left[x]) |
            Bit<kD, 9>(up.right[x + 1]) | Bit<kD, 10>(down.right[x]) |
            Bit<kD, 11>(down.left[x + 1]));
    }
}

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
// A resolved step packed in 16 bits: the diagonal, vertical and horizontal weights in bits
// 0-3, 4-7 and 8-11 (the centre takes the rest of 16), bit 12 set for the 16-bit output's
// halving blends. A pixel's four corners sit in one 64-bit word, upper left lowest, looked up
// by plan and the four Different tests between orthogonal neighbours.
using StepCode = std::uint16_t;
constexpr StepCode kHalvesCode = 0x1000;
constexpr std::uint64_t kHalvesCodes = 0x1000100010001000ull;
constexpr int kTestShift = 8; // the four tests in info bits 8-11
using ResolvedTable = std::array<std::uint64_t, (256 + 16) * 16>;

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

StepCode CodeOf(const Step& step, int corner) {
    const Weights w = WeightsOf(step, corner);
    return static_cast<StepCode>(w.d | w.v << 4 | w.h << 8 |
                                 (step.kind != Kind::Wide ? kHalvesCode : 0));
}

ResolvedTable BuildResolved() {
    ResolvedTable table{};
    const PlanTable& plans = Plans();
    for (std::size_t p = 0; p < plans.size(); ++p) {
        for (unsigned tests = 0; tests < 16; ++tests) {
            std::uint64_t codes = 0;
            for (int k = 0; k < hq2x::kCorners; ++k) {
                const CornerPlan& plan = plans[p][static_cast<std::size_t>(k)];
                const bool different = ((tests << kTestShift) & plan.pairBit) != 0;
                const StepCode code = CodeOf(different ? plan.ifDifferent : plan.otherwise, k);
                codes |= static_cast<std::uint64_t>(code) << (16 * k);
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

// A row's colours as separate 8-bit channels (the RGB565 fields widened as the wide colours do).
struct Planes {
    std::array<std::uint16_t, kPadded> r, g, b;
    void Load(const PaddedRow& row) {
        for (int k = 0; k < kPadded; ++k) {
            const unsigned v = row[static_cast<std::size_t>(k)];
            r[static_cast<std::size_t>(k)] = static_cast<std::uint16_t>((v >> 11) << 3);
            g[static_cast<std::size_t>(k)] = static_cast<std::uint16_t>(((v >> 5) & 0x3F) << 2);
            b[static_cast<std::size_t>(k)] = static_cast<std::uint16_t>((v & 0x1F) << 3);
        }
    }
};

// The weights of one output line, even (left) and odd (right) pixels apart.
struct LineWeights {
    std::array<std::uint16_t, kWidth> c, d, v, h;
    void Decode(const std::array<StepCode, kWidth>& codes) {
        for (int x = 0; x < kWidth; ++x) {
            const std::size_t i = static_cast<std::size_t>(x);
            const StepCode code = codes[i];
            d[i] = code & 15, v[i] = code >> 4 & 15, h[i] = code >> 8 & 15;
            c[i] = static_cast<std::uint16_t>(16 - d[i] - v[i] - h[i]);
        }
    }
};

// One channel of one half line: the centre at centre[x + 1], the horizontal neighbour at
// centre[x + side], the vertical at next[x + 1] and the diagonal at next[x + side].
inline void BlendChannel(const LineWeights& w, const std::uint16_t* centre,
                         const std::uint16_t* next, int side, std::uint16_t* out) {
    // Sums stay below 16 x 256, so 16-bit lanes hold them exactly.
    using U16 = std::uint16_t;
    const std::uint16_t* nextSide = next + side;
    const std::uint16_t* centreSide = centre + side;
    for (int x = 0; x < kWidth; ++x) {
        const std::size_t i = static_cast<std::size_t>(x);
        const U16 sum = static_cast<U16>(
            static_cast<U16>(w.c[i] * centre[i + 1]) + static_cast<U16>(w.d[i] * nextSide[i]) +
            static_cast<U16>(w.v[i] * next[i + 1]) + static_cast<U16>(w.h[i] * centreSide[i]));
        out[i] = static_cast<U16>(sum >> 4);
    }
}

template <typename Depth> class Scaler {
  public:
    Scaler(std::uint8_t* dest, std::ptrdiff_t pitch)
        : plans_(Plans()), resolved_(Resolved()), dest_(dest), pitch_(pitch) {}

    [[gnu::noinline]] void Run(const std::uint16_t* source, bool filter) {
        // Rows rotate through three buffers: above, centre, below.
        PaddedRow rows[3];
        Planes planes[3];
        RowPairs pairs[2];
        Comparisons across{};
        RowInfo info;
        const auto load = [&](int slot, int y) {
            PaddedRow& row = rows[slot];
            const std::uint16_t* src = source + y * kWidth;
            row[0] = src[0];
            std::memcpy(row.data() + 1, src, kWidth * sizeof(std::uint16_t));
            row[kPadded - 1] = src[kWidth - 1];
        };
        YuvRow yuv[3];
        const auto computeAcross = [&](const PaddedRow& c, const YuvRow& cy) {
            for (std::size_t k = 0; k + 1 < kPadded; ++k)
                across[k] = Compare(c, cy, k, c, cy, k + 1);
        };
        int above = 0, centre = 1, below = 2, up = 0, down = 1;
        load(centre, 0);
        rows[above] = rows[centre]; // the first row sees itself above
        // A row's channels are split only once a row beside it needs blends.
        bool split[3] = {false, false, false};
        yuv[centre].Load(rows[centre]);
        computeAcross(rows[centre], yuv[centre]);
        pairs[up].FromEqualRows(across, filter);
        for (int y = 0; y < kHeight; ++y) {
            if (y + 1 < kHeight)
                load(below, y + 1);
            else
                rows[below] = rows[centre]; // the last row sees itself below
            // Runs of equal rows, common in real pictures, reuse the comparisons.
            const bool belowEqual = rows[below] == rows[centre];
            split[below] = false;
            if (belowEqual) {
                yuv[below] = yuv[centre];
                pairs[down].FromEqualRows(across, filter);
            } else {
                yuv[below].Load(rows[below]);
                pairs[down].Compute(rows[centre], yuv[centre], rows[below], yuv[below], filter);
            }
            AssembleInfo(across, pairs[up], pairs[down], filter, info);
            std::uint8_t* upper = dest_ + 2 * y * pitch_;
            std::uint8_t* lower = upper + pitch_;
            const PaddedRow& c = rows[centre];
            const Rows r{rows[above], c, rows[below], planes[above], planes[centre], planes[below]};
            if (!NeedsBlends(info, filter)) {
                Double(c, upper, lower);
            } else {
                for (const int slot : {above, centre, below}) {
                    if (!split[slot]) planes[slot].Load(rows[slot]), split[slot] = true;
                }
                if (filter) {
                    FilterRow<true>(r, info, upper, lower);
                } else {
                    FilterRow<false>(r, info, upper, lower);
                }
            }
            std::swap(up, down);
            const int oldAbove = above;
            above = centre, centre = below, below = oldAbove;
            if (!belowEqual) computeAcross(rows[centre], yuv[centre]);
        }
    }

  private:
    struct Rows {
        const PaddedRow& a;
        const PaddedRow& c;
        const PaddedRow& b;
        const Planes& pa;
        const Planes& pc;
        const Planes& pb;
    };

    // With the filter off, pixels with a Different orthogonal neighbour stay plain.
    template <bool kFilter>
    void FilterRow(const Rows& r, const RowInfo& info, std::uint8_t* upper,
                   std::uint8_t* lower) const {

        // Each pixel's four steps resolved to weights, line by line and even/odd apart.
        int fixes = 0;
        for (int x = 0; x < kWidth; ++x) {
            const std::size_t ix = static_cast<std::size_t>(x);
            const unsigned i = info[ix];
            const unsigned plan = PlanOf<kFilter>(i);
            const std::uint64_t codes = resolved_[plan * 16 + (i >> kTestShift & 15)];
            codes_[0][ix] = static_cast<StepCode>(codes);
            codes_[1][ix] = static_cast<StepCode>(codes >> 16);
            codes_[2][ix] = static_cast<StepCode>(codes >> 32);
            codes_[3][ix] = static_cast<StepCode>(codes >> 48);
            if constexpr (Depth::kBytes == 2) {
                // The 16-bit 3:1 and 2:1:1 blends halve on the packed value: done apart.
                fixes_[static_cast<std::size_t>(fixes)] = static_cast<std::uint16_t>(x);
                fixes += (codes & kHalvesCodes) != 0;
            }
        }
        LineWeights& ue = weights_[0];
        LineWeights& uo = weights_[1];
        LineWeights& le = weights_[2];
        LineWeights& lo = weights_[3];
        for (int k = 0; k < hq2x::kCorners; ++k) {
            weights_[k].Decode(codes_[static_cast<std::size_t>(k)]);
        }
        BlendLine(r.pc, r.pa, ue, uo, upper);
        BlendLine(r.pc, r.pb, le, lo, lower);
        if constexpr (Depth::kBytes == 2) {
            for (int f = 0; f < fixes; ++f) {
                const int x = fixes_[static_cast<std::size_t>(f)];
                const std::size_t ix = static_cast<std::size_t>(x);
                const unsigned i = info[ix];
                const unsigned plan = PlanOf<kFilter>(i);
                const std::uint16_t w[9] = {r.a[ix], r.a[ix + 1], r.a[ix + 2],
                                            r.c[ix], r.c[ix + 1], r.c[ix + 2],
                                            r.b[ix], r.b[ix + 1], r.b[ix + 2]};
                for (int k = 0; k < hq2x::kCorners; ++k) {
                    const CornerPlan& cp = plans_[plan][static_cast<std::size_t>(k)];
                    const Step& step = (i & cp.pairBit) != 0 ? cp.ifDifferent : cp.otherwise;
                    if (step.kind == Kind::Wide) continue;
                    const std::uint32_t v = step.kind == Kind::Halves1
                                                ? Depth::Interp1(w[kW5], w[step.x])
                                                : Depth::Interp2(w[kW5], w[step.x], w[step.y]);
                    std::uint8_t* line = k < 2 ? upper : lower;
                    hq2x::StoreLow<2>(line + 2 * (2 * x + (k & 1)), v);
                }
            }
        }
    }

    template <bool kFilter> static unsigned PlanOf(unsigned i) {
        if ((i & hq2x::kOrthogonalBits) == 0) return kFastPlans + (i >> kCrossShift);
        return kFilter ? (i & 0xFF) : kFastPlans;
    }

    // One output line from the centre row and the row above or below it.
    void BlendLine(const Planes& c, const Planes& n, const LineWeights& even,
                   const LineWeights& odd, std::uint8_t* out) const {
        std::uint16_t er[kWidth], eg[kWidth], eb[kWidth], odr[kWidth], og[kWidth], ob[kWidth];
        BlendChannel(even, c.r.data(), n.r.data(), 0, er);
        BlendChannel(even, c.g.data(), n.g.data(), 0, eg);
        BlendChannel(even, c.b.data(), n.b.data(), 0, eb);
        BlendChannel(odd, c.r.data(), n.r.data(), 2, odr);
        BlendChannel(odd, c.g.data(), n.g.data(), 2, og);
        BlendChannel(odd, c.b.data(), n.b.data(), 2, ob);
        if constexpr (Depth::kBytes == 2) {
            std::uint16_t line[2 * kWidth];
            for (int x = 0; x < kWidth; ++x) {
                const std::size_t i = static_cast<std::size_t>(x);
                line[2 * i] =
                    static_cast<std::uint16_t>((er[i] >> 3) << 11 | (eg[i] >> 2) << 5 | eb[i] >> 3);
                line[2 * i + 1] = static_cast<std::uint16_t>((odr[i] >> 3) << 11 |
                                                             (og[i] >> 2) << 5 | ob[i] >> 3);
            }
            std::memcpy(out, line, sizeof line);
        } else if constexpr (Depth::kBytes == 4) {
            std::uint32_t line[2 * kWidth];
            for (int x = 0; x < kWidth; ++x) {
                const std::size_t i = static_cast<std::size_t>(x);
                line[2 * i] = static_cast<std::uint32_t>(er[i]) << 16 |
                              static_cast<std::uint32_t>(eg[i]) << 8 | eb[i];
                line[2 * i + 1] = static_cast<std::uint32_t>(odr[i]) << 16 |
                                  static_cast<std::uint32_t>(og[i]) << 8 | ob[i];
            }
            std::memcpy(out, line, sizeof line);
        } else {
            std::uint8_t line[6 * kWidth];
            for (int x = 0; x < kWidth; ++x) {
                const std::size_t i = static_cast<std::size_t>(x);
                std::uint8_t* p = line + 6 * i;
                p[0] = static_cast<std::uint8_t>(eb[i]), p[1] = static_cast<std::uint8_t>(eg[i]);
                p[2] = static_cast<std::uint8_t>(er[i]), p[3] = static_cast<std::uint8_t>(ob[i]);
                p[4] = static_cast<std::uint8_t>(og[i]), p[5] = static_cast<std::uint8_t>(odr[i]);
            }
            std::memcpy(out, line, sizeof line);
        }
    }

    // Whether any pixel of the row is more than a plain block: with the filter on, one with
    // a neighbour Different or unequal across; with it off, one whose orthogonal neighbours
    // are all alike and one of them unequal.
    static bool NeedsBlends(const RowInfo& info, bool filter) {
        unsigned any = 0;
        if (filter) {
            for (int x = 0; x < kWidth; ++x) any |= info[static_cast<std::size_t>(x)];
        } else {
            for (int x = 0; x < kWidth; ++x) {
                const unsigned i = info[static_cast<std::size_t>(x)];
                any |= static_cast<unsigned>((i >> kCrossShift) != 0 &&
                                             (i & hq2x::kOrthogonalBits) == 0);
            }
        }
        return any != 0;
    }

    static std::uint32_t Plain(std::uint16_t v) {
        if constexpr (Depth::kBytes == 2) {
            return v;
        } else {
            return (v & 0xF800u) << 8 | (v & 0x07E0u) << 5 | (v & 0x001Fu) << 3;
        }
    }

    // Each pixel of the row as a 2 x 2 block.
    static void Double(const PaddedRow& c, std::uint8_t* upper, std::uint8_t* lower) {
        constexpr std::size_t kRowBytes = 2 * kWidth * Depth::kBytes;
        if constexpr (Depth::kBytes == 3) {
            std::uint8_t out[kRowBytes];
            for (int x = 0; x < kWidth; ++x) {
                const std::uint32_t v = Plain(c[static_cast<std::size_t>(x) + 1]);
                Depth::StorePair(out + 6 * x, v, v);
            }
            std::memcpy(upper, out, kRowBytes);
            std::memcpy(lower, out, kRowBytes);
        } else {
            using Pixel = std::conditional_t<Depth::kBytes == 2, std::uint16_t, std::uint32_t>;
            std::array<Pixel, 2 * kWidth> out;
            for (int x = 0; x < kWidth; ++x) {
                const Pixel v = static_cast<Pixel>(Plain(c[static_cast<std::size_t>(x) + 1]));
                out[static_cast<std::size_t>(2 * x)] = v;
                out[static_cast<std::size_t>(2 * x + 1)] = v;
            }
            std::memcpy(upper, out.data(), kRowBytes);
            std::memcpy(lower, out.data(), kRowBytes);
        }
    }

    const PlanTable& plans_;
    const ResolvedTable& resolved_;
    mutable LineWeights weights_[4];
    mutable std::array<StepCode, kWidth> codes_[4];
    mutable std::array<std::uint16_t, kWidth> fixes_;
    std::uint8_t* dest_;
    std::ptrdiff_t pitch_;
};

template <typename Depth>
void Scale(const std::uint16_t* source, std::uint8_t* dest, std::ptrdiff_t pitch,
           std::uint8_t filterEnabled) {
    Scaler<Depth>(dest, pitch).Run(source, filterEnabled == 1);
}

} // namespace

void Hq2x16(const std::uint16_t* source, std::uint8_t* dest, std::ptrdiff_t pitch,
            std::uint8_t filterEnabled) {
    Scale<hq2x::Depth16>(source, dest, pitch, filterEnabled);
}

void Hq2x24(const std::uint16_t* source, std::uint8_t* dest, std::ptrdiff_t pitch,
            std::uint8_t filterEnabled) {
    Scale<hq2x::Depth24>(source, dest, pitch, filterEnabled);
}

void Hq2x32(const std::uint16_t* source, std::uint8_t* dest, std::ptrdiff_t pitch,
            std::uint8_t filterEnabled) {
    Scale<hq2x::Depth32>(source, dest, pitch, filterEnabled);
}

} // namespace velmar
