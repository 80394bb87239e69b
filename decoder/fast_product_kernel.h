// The fast product decoder, written once over a lane type and compiled by
// fast_product_portable.cpp, fast_product_sse2.cpp and fast_product_avx2.cpp,
// each with its own lane type (and its own target options). Everything here
// has internal linkage, so the three copies never meet at link time. Include
// it after every other header of the including file and after its target
// options, so that the kernel is compiled for the lanes it uses.
//
// Lanes are lines: one vector holds one position of kLanes lines of a pass,
// 16-bit signed per lane. A group of lines is decoded in step, position by
// position, so the per-line decisions of the component decoders (which
// positions to invert, which competitor wins) become lane masks.
//
// Extended Hamming lines are held in syndrome order: slot s holds the position
// whose single-error syndrome is s (slot 0: the parity position n-1). Then
//   - the syndrome is the XOR of the slots that hold a 1,
//   - algebraic correction inverts the slot equal to the syndrome,
//   - the competitors of the least reliable pair (p1, p2) pair slot s with
//     slot s ^ c, c = S(p1) ^ S(p2): {p1, p2, a, b} is a weight-4 codeword
//     exactly when S(a) ^ S(b) = c. Every pair score is then one add of the
//     vector with its copy permuted by "XOR c", built by m conditional
//     butterfly swaps; no rotated copy and no pair table is needed.
//   - The pair table's order only breaks ties between equal best competitors:
//     the winner is the one whose smaller rotated position (position - p1 mod
//     n-1) is least, found by one more pass when some lane has a competitor
//     beating the algebraic decision.
//
// 16-bit lanes are enough: row inputs are limited to +-SoftLimit (4090), pair
// and anchor scores stay within +-8180, returned reliabilities within 0 ...
// 16360 and extrinsic values within +-20450. Only the weighted feedback (up to
// 16 * 2 * 20450) needs 32 bits; RowInput of each lane type computes it so.
#pragma once

#include <cstdint>

#include "decoder/code_tables.h"
#include "decoder/product_decoder.h"
#include "decoder/word_steps.h"

namespace {

namespace fast_kernel {

constexpr int32_t kMaxLine = 256;
constexpr int32_t kChannelClip = 31;
constexpr int16_t kNoScore = 32767;  // above every score, for minimum searches

// One axis of the block: its component code, weight and slot order.
struct AxisCode {
    int32_t n;
    int32_t order;  // m = log2(n) of an extended Hamming code; 0 for a parity code
    int32_t weight;
    int16_t slotOfPosition[kMaxLine];
    int16_t positionOfSlot[kMaxLine];
};

inline void MakeAxisCode(int32_t n, int32_t k, int32_t weight, AxisCode& code) {
    code.n = n;
    code.weight = weight;
    code.order = 0;
    if (n - k != 1) {
        while ((1 << code.order) < n) ++code.order;
    }
    const int32_t* positions = code.order != 0 ? SyndromePositionTable(n) : nullptr;
    for (int32_t i = 0; i < n; ++i) {
        code.slotOfPosition[i] =
            static_cast<int16_t>(code.order != 0 ? SingleErrorSyndrome(n, i) : i);
        code.positionOfSlot[i] = static_cast<int16_t>(code.order != 0 ? positions[i] : i);
    }
}

// The lines of one pass, as in the plain decoder: line (o, i) starts at
// o*outerStep + i*innerStep and its positions lie lineStride apart.
struct PassLayout {
    const AxisCode* code;
    int32_t outerCount;
    int32_t outerStep;
    int32_t innerCount;
    int32_t innerStep;
    int32_t lineStride;
};

struct StoreWiring {
    const int32_t* feedback;
    const int32_t* feedbackExtra;  // null in two dimensions
    int32_t* target;
};

template <class L>
struct Kernel {
    using V = typename L::V;
    static constexpr int32_t kLanes = L::kLanes;

    // Vectors are addressed as slot * kLanes; the buffers are reused by every
    // group of a call.
    struct Work {
        int16_t input[kMaxLine * kLanes];  // row inputs r
        int16_t soft[kMaxLine * kLanes];   // signed reliabilities, then extrinsics
        int16_t score[kMaxLine * kLanes];  // permuted copy, then scores
        int16_t hard[kMaxLine * kLanes];   // decisions as lane masks
        int16_t lines[kLanes * (kMaxLine + kLanes)];  // line-major staging
    };

    static V SlotVector(int32_t s) { return L::Set1(static_cast<int16_t>(s)); }

    // Signed reliability of a decision: +out for bit 1, -out for bit 0.
    static V Signed(V out, V bitMask) {
        const V zeroMask = L::Xor(bitMask, L::Ones());
        return L::Sub(L::Xor(out, zeroMask), zeroMask);
    }

    // One stable step of FindTwoLeast at index vector iv.
    static void TwoLeastStep(V v, V iv, V& least, V& second, V& p1, V& p2) {
        const V belowSecond = L::CmpGt(second, v);
        const V belowLeast = L::CmpGt(least, v);
        second = L::Min(second, L::Max(least, v));
        p2 = L::Select(belowLeast, p1, L::Select(belowSecond, iv, p2));
        p1 = L::Select(belowLeast, iv, p1);
        least = L::Min(least, v);
    }

    // DecodeHammingWord on every lane; leaves extrinsic values in w.soft and
    // decisions in w.hard. Returns correctionMade as a lane mask.
    static V DecodeHammingGroup(const AxisCode& code, Work& w) {
        const int32_t n = code.n;
        const V zero = L::Zero();
        const V ones = L::Ones();

        V syndrome = zero;
        V odd = zero;
        for (int32_t s = 0; s < n; ++s) {
            const V x = L::Load(w.input + s * kLanes);
            const V bit = L::CmpGt(x, zero);
            L::Store(w.hard + s * kLanes, bit);
            L::Store(w.soft + s * kLanes, L::Max(x, L::Sub(zero, x)));
            syndrome = L::Xor(syndrome, L::And(bit, SlotVector(s)));
            odd = L::Xor(odd, bit);
        }
        const V parityHolds = L::Xor(odd, ones);

        // Algebraic correction, then the two least in position order (ties
        // go to the lower position), tracked as slots.
        V least = zero, second = L::Set1(SoftLimit + 1), p1 = zero, p2 = zero;
        for (int32_t i = 0; i < n; ++i) {
            const int32_t s = code.slotOfPosition[i];
            const V slot = SlotVector(s);
            V flip = L::CmpEq(syndrome, slot);
            if (s == 0) flip = L::Xor(flip, parityHolds);
            int16_t* softAt = w.soft + s * kLanes;
            int16_t* hardAt = w.hard + s * kLanes;
            const V v = L::Sub(L::Xor(L::Load(softAt), flip), flip);
            L::Store(softAt, v);
            L::Store(hardAt, L::Xor(L::Load(hardAt), flip));
            if (i == 0) {
                least = v;
                p1 = slot;
            } else {
                TwoLeastStep(v, slot, least, second, p1, p2);
            }
        }
        // The rotation origin must be a cyclic position, not slot 0.
        const V originIsParity = L::CmpEq(p1, zero);
        const V origin = L::Select(originIsParity, p2, p1);
        p2 = L::Select(originIsParity, zero, p2);
        p1 = origin;
        const V anchor = L::Sub(zero, L::Add(least, second));
        const V partnerXor = L::Xor(p1, p2);

        // w.score[s] = w.soft[s ^ c], one conditional swap per bit of c.
        for (int32_t k = 0; k < code.order; ++k) {
            const int32_t bit = 1 << k;
            const V bitVector = SlotVector(bit);
            const V swap = L::CmpEq(L::And(partnerXor, bitVector), bitVector);
            const int16_t* from = k == 0 ? w.soft : w.score;
            for (int32_t base = 0; base < n; base += 2 * bit) {
                for (int32_t s = base; s < base + bit; ++s) {
                    const V lo = L::Load(from + s * kLanes);
                    const V hi = L::Load(from + (s + bit) * kLanes);
                    const V d = L::And(L::Xor(lo, hi), swap);
                    L::Store(w.score + s * kLanes, L::Xor(lo, d));
                    L::Store(w.score + (s + bit) * kLanes, L::Xor(hi, d));
                }
            }
        }

        // Pair scores; the anchor pair holds the anchor score. m1 <= m1b <= m2
        // are the three least competitor slot scores: each pair fills two
        // slots, so m2 is the second best competitor.
        V m1 = L::Set1(kNoScore), m1b = m1, m2 = m1;
        const V excluded = L::Set1(kNoScore);
        for (int32_t s = 0; s < n; ++s) {
            const V slot = SlotVector(s);
            const V score = L::Add(L::Load(w.soft + s * kLanes), L::Load(w.score + s * kLanes));
            const V isAnchor = L::Or(L::CmpEq(slot, p1), L::CmpEq(slot, p2));
            L::Store(w.score + s * kLanes, L::Select(isAnchor, anchor, score));
            const V competitor = L::AddSat(score, L::And(isAnchor, excluded));
            m2 = L::Min(m2, L::Max(m1b, competitor));
            m1b = L::Min(m1b, L::Max(m1, competitor));
            m1 = L::Min(m1, competitor);
        }
        // A competitor must score strictly below the anchor to win.
        const V moved = L::CmpGt(anchor, m1);
        const V best = L::Select(moved, m1, anchor);
        const V runnerUp = L::Select(moved, L::Min(anchor, m2), m1);
        const V gap = L::Sub(runnerUp, best);

        V winA = p1, winB = p2;
        if (L::Any(moved)) {
            // Among equal best competitors the pair table's order decides:
            // the least rotated first position wins. The key is that rotated
            // position and the slot, unsigned, biased for signed minimum.
            int16_t originPosition[kLanes];
            L::Store(originPosition, p1);
            for (int32_t l = 0; l < kLanes; ++l) {
                originPosition[l] = code.positionOfSlot[originPosition[l]];
            }
            const V originVector = L::Load(originPosition);
            const V modulus = L::Set1(static_cast<int16_t>(n - 1));
            const V bias = L::Set1(INT16_MIN);
            V winnerKey = L::Set1(kNoScore);
            // Slot 0 (position n-1) is never the first of its pair.
            for (int32_t s = 1; s < n; ++s) {
                V rotated = L::Sub(L::Set1(code.positionOfSlot[s]), originVector);
                rotated = L::Add(rotated, L::And(L::CmpGt(zero, rotated), modulus));
                const V key = L::Xor(L::Or(L::ShiftLeft8(rotated), SlotVector(s)), bias);
                const V hit = L::CmpEq(L::Load(w.score + s * kLanes), m1);
                winnerKey = L::Min(winnerKey, L::Select(hit, key, excluded));
            }
            const V winnerSlot = L::And(winnerKey, L::Set1(0xFF));
            winA = L::Select(moved, winnerSlot, p1);
            winB = L::Select(moved, L::Xor(winnerSlot, partnerXor), p2);
        }

        for (int32_t s = 0; s < n; ++s) {
            const V slot = SlotVector(s);
            const V isWinner = L::Or(L::CmpEq(slot, winA), L::CmpEq(slot, winB));
            const V isAnchor = L::Or(L::CmpEq(slot, p1), L::CmpEq(slot, p2));
            const V out = L::Select(isWinner, gap, L::Sub(L::Load(w.score + s * kLanes), best));
            const V flip = L::And(moved, L::Or(isWinner, isAnchor));
            const V bit = L::Xor(L::Load(w.hard + s * kLanes), flip);
            L::Store(w.hard + s * kLanes, bit);
            L::Store(w.soft + s * kLanes, L::Sub(Signed(out, bit), L::Load(w.input + s * kLanes)));
        }
        return L::Or(moved, L::Xor(L::CmpEq(syndrome, zero), ones));
    }

    // DecodeParityWord on every lane; slots are positions.
    static V DecodeParityGroup(const AxisCode& code, Work& w) {
        const int32_t n = code.n;
        const V zero = L::Zero();
        V odd = zero;
        V least = zero, second = L::Set1(SoftLimit + 1), p1 = zero, p2 = zero;
        for (int32_t i = 0; i < n; ++i) {
            const V x = L::Load(w.input + i * kLanes);
            const V bit = L::CmpGt(x, zero);
            const V reliability = L::Max(x, L::Sub(zero, x));
            L::Store(w.hard + i * kLanes, bit);
            L::Store(w.soft + i * kLanes, reliability);
            odd = L::Xor(odd, bit);
            if (i == 0) {
                least = reliability;
            } else {
                TwoLeastStep(reliability, SlotVector(i), least, second, p1, p2);
            }
        }
        // A failed parity inverts the least reliable bit.
        const V a = L::Select(odd, L::Sub(zero, least), least);
        const V pairScore = L::Add(a, second);
        for (int32_t i = 0; i < n; ++i) {
            const V index = SlotVector(i);
            const V atP1 = L::CmpEq(index, p1);
            const V atPair = L::Or(atP1, L::CmpEq(index, p2));
            const V out =
                L::Select(atPair, pairScore, L::Add(L::Load(w.soft + i * kLanes), a));
            const V bit = L::Xor(L::Load(w.hard + i * kLanes), L::And(odd, atP1));
            L::Store(w.hard + i * kLanes, bit);
            L::Store(w.soft + i * kLanes, L::Sub(Signed(out, bit), L::Load(w.input + i * kLanes)));
        }
        return odd;
    }

    static int16_t ScalarRowInput(const int32_t* channel, const StoreWiring& stores, int32_t e,
                                  int32_t weight) {
        int32_t feedback = stores.feedback[e];
        if (stores.feedbackExtra != nullptr) feedback += stores.feedbackExtra[e];
        return static_cast<int16_t>(RowInput(channel[e], feedback, weight));
    }

    static V VectorRowInput(const int32_t* channel, const StoreWiring& stores, int32_t e,
                            int32_t weight) {
        return L::RowInput(channel + e, stores.feedback + e,
                           stores.feedbackExtra != nullptr ? stores.feedbackExtra + e : nullptr,
                           static_cast<int16_t>(weight));
    }

    // Lane l is the line starting at first + l: a position of all lanes is
    // kLanes consecutive elements.
    static void GatherAdjacentLines(const AxisCode& code, int32_t first, int32_t stride,
                                    const int32_t* channel, const StoreWiring& stores, Work& w) {
        for (int32_t i = 0; i < code.n; ++i) {
            const V r = VectorRowInput(channel, stores, first + i * stride, code.weight);
            L::Store(w.input + code.slotOfPosition[i] * kLanes, r);
        }
    }

    static void ScatterAdjacentLines(const AxisCode& code, int32_t first, int32_t stride,
                                     const StoreWiring& stores, int32_t* decisions, Work& w) {
        for (int32_t i = 0; i < code.n; ++i) {
            const int32_t e = first + i * stride;
            const int32_t s = code.slotOfPosition[i];
            L::StoreWide(stores.target + e, L::Load(w.soft + s * kLanes));
            L::StoreBits(decisions + e, L::Load(w.hard + s * kLanes));
        }
    }

    static int32_t PaddedLength(int32_t n) { return (n + kLanes - 1) / kLanes * kLanes; }

    // Lane l is the line starting at first + l*lineStep with consecutive
    // positions: computed line by line, then transposed into lanes.
    static void GatherConsecutiveLines(const AxisCode& code, int32_t first, int32_t lineStep,
                                       const int32_t* channel, const StoreWiring& stores,
                                       Work& w) {
        const int32_t n = code.n;
        const int32_t padded = PaddedLength(n);
        for (int32_t l = 0; l < kLanes; ++l) {
            const int32_t lineFirst = first + l * lineStep;
            int16_t* line = w.lines + l * padded;
            int32_t i = 0;
            for (; i + kLanes <= n; i += kLanes) {
                L::Store(line + i, VectorRowInput(channel, stores, lineFirst + i, code.weight));
            }
            for (; i < n; ++i) line[i] = ScalarRowInput(channel, stores, lineFirst + i, code.weight);
            for (; i < padded; ++i) line[i] = 0;
        }
        for (int32_t i0 = 0; i0 < n; i0 += kLanes) {
            V block[kLanes];
            for (int32_t l = 0; l < kLanes; ++l) block[l] = L::Load(w.lines + l * padded + i0);
            L::Transpose(block);
            for (int32_t j = 0; j < kLanes && i0 + j < n; ++j) {
                L::Store(w.input + code.slotOfPosition[i0 + j] * kLanes, block[j]);
            }
        }
    }

    // Transposes one lane-major buffer (soft or hard) back into w.lines.
    static void SlotsToLines(const AxisCode& code, const int16_t* slots, Work& w) {
        const int32_t n = code.n;
        const int32_t padded = PaddedLength(n);
        for (int32_t i0 = 0; i0 < n; i0 += kLanes) {
            V block[kLanes];
            for (int32_t j = 0; j < kLanes; ++j) {
                block[j] = i0 + j < n ? L::Load(slots + code.slotOfPosition[i0 + j] * kLanes)
                                      : L::Zero();
            }
            L::Transpose(block);
            for (int32_t l = 0; l < kLanes; ++l) L::Store(w.lines + l * padded + i0, block[l]);
        }
    }

    static void ScatterConsecutiveLines(const AxisCode& code, int32_t first, int32_t lineStep,
                                        const StoreWiring& stores, int32_t* decisions, Work& w) {
        const int32_t n = code.n;
        const int32_t padded = PaddedLength(n);
        SlotsToLines(code, w.soft, w);
        for (int32_t l = 0; l < kLanes; ++l) {
            int32_t* target = stores.target + first + l * lineStep;
            const int16_t* line = w.lines + l * padded;
            int32_t i = 0;
            for (; i + kLanes <= n; i += kLanes) L::StoreWide(target + i, L::Load(line + i));
            for (; i < n; ++i) target[i] = line[i];
        }
        SlotsToLines(code, w.hard, w);
        for (int32_t l = 0; l < kLanes; ++l) {
            int32_t* out = decisions + first + l * lineStep;
            const int16_t* line = w.lines + l * padded;
            int32_t i = 0;
            for (; i + kLanes <= n; i += kLanes) L::StoreBits(out + i, L::Load(line + i));
            for (; i < n; ++i) out[i] = line[i] & 1;
        }
    }

    // Any other group (fewer lines than lanes): element by element. Unused
    // lanes decode a zero row and are never written back.
    static void GatherScattered(const AxisCode& code, const int32_t* lineFirst, int32_t count,
                                int32_t stride, const int32_t* channel,
                                const StoreWiring& stores, Work& w) {
        for (int32_t i = 0; i < code.n; ++i) {
            int16_t* at = w.input + code.slotOfPosition[i] * kLanes;
            for (int32_t l = 0; l < kLanes; ++l) {
                at[l] = l < count
                            ? ScalarRowInput(channel, stores, lineFirst[l] + i * stride, code.weight)
                            : int16_t{0};
            }
        }
    }

    static void ScatterScattered(const AxisCode& code, const int32_t* lineFirst, int32_t count,
                                 int32_t stride, const StoreWiring& stores, int32_t* decisions,
                                 Work& w) {
        for (int32_t i = 0; i < code.n; ++i) {
            const int32_t s = code.slotOfPosition[i];
            for (int32_t l = 0; l < count; ++l) {
                const int32_t e = lineFirst[l] + i * stride;
                stores.target[e] = w.soft[s * kLanes + l];
                decisions[e] = w.hard[s * kLanes + l] & 1;
            }
        }
    }

    static V DecodeGroup(const AxisCode& code, Work& w) {
        return code.order != 0 ? DecodeHammingGroup(code, w) : DecodeParityGroup(code, w);
    }

    // Decodes every line of a pass; returns its activity.
    static uint8_t RunPass(const PassLayout& pass, const int32_t* channel,
                           const StoreWiring& stores, int32_t* decisions, Work& w) {
        const AxisCode& code = *pass.code;
        V activity = L::Zero();
        bool partialActivity = false;
        for (int32_t o = 0; o < pass.outerCount; ++o) {
            for (int32_t i0 = 0; i0 < pass.innerCount; i0 += kLanes) {
                const int32_t count =
                    pass.innerCount - i0 < kLanes ? pass.innerCount - i0 : kLanes;
                const int32_t first = o * pass.outerStep + i0 * pass.innerStep;
                if (count == kLanes && pass.innerStep == 1) {
                    GatherAdjacentLines(code, first, pass.lineStride, channel, stores, w);
                    activity = L::Or(activity, DecodeGroup(code, w));
                    ScatterAdjacentLines(code, first, pass.lineStride, stores, decisions, w);
                } else if (count == kLanes && pass.lineStride == 1) {
                    GatherConsecutiveLines(code, first, pass.innerStep, channel, stores, w);
                    activity = L::Or(activity, DecodeGroup(code, w));
                    ScatterConsecutiveLines(code, first, pass.innerStep, stores, decisions, w);
                } else {
                    int32_t lineFirst[kLanes];
                    for (int32_t l = 0; l < count; ++l) lineFirst[l] = first + l * pass.innerStep;
                    GatherScattered(code, lineFirst, count, pass.lineStride, channel, stores, w);
                    int16_t corrections[kLanes];
                    L::Store(corrections, DecodeGroup(code, w));
                    for (int32_t l = 0; l < count; ++l) partialActivity |= corrections[l] != 0;
                    ScatterScattered(code, lineFirst, count, pass.lineStride, stores, decisions, w);
                }
            }
        }
        return (L::Any(activity) || partialActivity) ? 1 : 0;
    }

    static void ClipChannel(int32_t* channel, int32_t blockSize) {
        for (int32_t e = 0; e < blockSize; ++e) {
            const int32_t v = channel[e];
            channel[e] = v > kChannelClip ? kChannelClip : (v < -kChannelClip ? -kChannelClip : v);
        }
    }

    static void ZeroStore(int32_t* store, int32_t count) {
        for (int32_t e = 0; e < count; ++e) store[e] = 0;
    }

    // The two schedules, step for step as DecodeProductBlock2D / 3D; each
    // returns the final pass counter.
    static int32_t Decode2D(int32_t iterations, bool selectiveStop, int32_t* channel,
                            int32_t* decisions, int32_t nx, int32_t kx, int32_t ny, int32_t ky,
                            int32_t blockSize, int32_t NUMX, int32_t NUMY, int32_t planeSize,
                            int32_t* extrinsicA) {
        ClipChannel(channel, blockSize);
        ZeroStore(extrinsicA, planeSize);
        int32_t passCounter = 1;
        if (passCounter > iterations) return passCounter;

        Work w;
        AxisCode codeX, codeY;
        MakeAxisCode(nx, kx, NUMX, codeX);
        MakeAxisCode(ny, ky, NUMY, codeY);
        const PassLayout passX{&codeX, 1, 0, ny, nx, 1};
        const PassLayout passY{&codeY, 1, 0, nx, 1, nx};
        const StoreWiring stores{extrinsicA, nullptr, extrinsicA};

        uint8_t lastActivity = 1;
        for (;;) {
            if (passCounter > iterations) return passCounter;
            if (selectiveStop && lastActivity == 0) return passCounter;
            lastActivity = RunPass(passX, channel, stores, decisions, w);
            ++passCounter;
            if (selectiveStop && lastActivity == 0) return passCounter;
            lastActivity = RunPass(passY, channel, stores, decisions, w);
            ++passCounter;
        }
    }

    static int32_t Decode3D(int32_t iterations, bool selectiveStop, int32_t* channel,
                            int32_t* decisions, int32_t nx, int32_t kx, int32_t ny, int32_t ky,
                            int32_t nz, int32_t kz, int32_t blockSize, int32_t NUMX, int32_t NUMY,
                            int32_t NUMZ, int32_t planeSize, int32_t* extrinsicA,
                            int32_t* extrinsicB) {
        ClipChannel(channel, blockSize);
        ZeroStore(extrinsicA, blockSize);
        ZeroStore(extrinsicB, blockSize);
        int32_t passCounter = 1;
        if (passCounter > iterations) return passCounter;

        Work w;
        AxisCode codes[3];
        MakeAxisCode(nx, kx, NUMX, codes[0]);
        MakeAxisCode(ny, ky, NUMY, codes[1]);
        MakeAxisCode(nz, kz, NUMZ, codes[2]);
        const PassLayout passes[3] = {
            {&codes[0], nz, planeSize, ny, nx, 1},
            {&codes[1], nz, planeSize, nx, 1, nx},
            {&codes[2], ny, nx, nx, 1, planeSize},
        };

        uint8_t lastActivity = 1;
        uint8_t earlierActivity = 1;
        bool writeA = true;
        while (passCounter <= iterations) {
            for (const PassLayout& pass : passes) {
                if (selectiveStop && lastActivity == 0 && earlierActivity == 0) {
                    return passCounter;
                }
                earlierActivity = lastActivity;
                const StoreWiring stores{extrinsicA, extrinsicB,
                                         writeA ? extrinsicA : extrinsicB};
                lastActivity = RunPass(pass, channel, stores, decisions, w);
                writeA = !writeA;
                ++passCounter;
            }
        }
        return passCounter;
    }

    static void Decode(int32_t iterations, uint32_t selectstp, int32_t* channel,
                       int32_t* decisions, int32_t nx, int32_t kx, int32_t ny, int32_t ky,
                       int32_t nz, int32_t kz, int32_t blockSize, int32_t NUMX, int32_t NUMY,
                       int32_t NUMZ, int32_t planeSize, int32_t* extrinsicA,
                       int32_t* extrinsicB) {
        const bool selectiveStop = selectstp != 0;
        const int32_t passCounter =
            kz < 2 ? Decode2D(iterations, selectiveStop, channel, decisions, nx, kx, ny, ky,
                              blockSize, NUMX, NUMY, planeSize, extrinsicA)
                   : Decode3D(iterations, selectiveStop, channel, decisions, nx, kx, ny, ky, nz,
                              kz, blockSize, NUMX, NUMY, NUMZ, planeSize, extrinsicA,
                              extrinsicB);
        SetDecoderPassCounter(passCounter);
    }
};

}  // namespace fast_kernel

}  // namespace
