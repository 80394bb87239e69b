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
// 16 * 2 * 20450 in three dimensions) needs more; RowInput2D / RowInput3D of
// each lane type compute it exactly (see there).
//
// So the block buffers hold 16-bit values while passes run: once decoding
// starts, the decoded part of the channel, the stores and the decisions are
// packed to 16 bits at the front of their own 32-bit buffers, and widened
// back in place when the call ends. The caller sees exactly the 32-bit
// contents the plain decoder leaves. The 16-bit views are touched only by
// vector loads and stores (which may alias anything) and by memcpy.
#pragma once

#include <cstdint>
#include <cstring>

#include "decoder/code_tables.h"
#include "decoder/decode_paths.h"
#include "decoder/decoding_schedule.h"
#include "decoder/word_steps.h"

namespace tpc {

namespace {

namespace fast_kernel {

constexpr int32_t kMaxLine = 256;
constexpr int16_t kNoScore = 32767;  // above every score, for minimum searches
constexpr int16_t kExcluded = 16383;  // twice it stays below kNoScore

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

// 16-bit views of the block buffers during a call.
struct StoreWiring {
    const int16_t* channel;
    const int16_t* feedback;
    const int16_t* feedbackExtra;  // null in two dimensions
    int16_t* target;
    int16_t* decisions;  // null when a later pass rewrites every decision anyway
    // Tracked passes: what the pass wrote the cycle before, at the target's
    // offsets; each extrinsic value is compared with it and replaces it.
    int16_t* shadow;     // null when the pass is not tracked
};

inline int16_t Get16(const int16_t* p) {
    int16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void Put16(int16_t* p, int16_t v) { std::memcpy(p, &v, sizeof v); }

inline int16_t* View16(int32_t* p) { return reinterpret_cast<int16_t*>(p); }

// 8 x 8 transposes of 16-bit elements within each 128-bit block of eight
// vectors: r[i] element j of a block becomes r[j] element i. Built from the
// lane type's unpacks, which work within 128-bit blocks at every x86 width.
template <class L>
inline void TransposeBlocks8(typename L::V* r) {
    using V = typename L::V;
    const V a0 = L::UnpackLo16(r[0], r[1]), a1 = L::UnpackHi16(r[0], r[1]);
    const V a2 = L::UnpackLo16(r[2], r[3]), a3 = L::UnpackHi16(r[2], r[3]);
    const V a4 = L::UnpackLo16(r[4], r[5]), a5 = L::UnpackHi16(r[4], r[5]);
    const V a6 = L::UnpackLo16(r[6], r[7]), a7 = L::UnpackHi16(r[6], r[7]);
    const V b0 = L::UnpackLo32(a0, a2), b1 = L::UnpackHi32(a0, a2);
    const V b2 = L::UnpackLo32(a1, a3), b3 = L::UnpackHi32(a1, a3);
    const V b4 = L::UnpackLo32(a4, a6), b5 = L::UnpackHi32(a4, a6);
    const V b6 = L::UnpackLo32(a5, a7), b7 = L::UnpackHi32(a5, a7);
    r[0] = L::UnpackLo64(b0, b4);
    r[1] = L::UnpackHi64(b0, b4);
    r[2] = L::UnpackLo64(b1, b5);
    r[3] = L::UnpackHi64(b1, b5);
    r[4] = L::UnpackLo64(b2, b6);
    r[5] = L::UnpackHi64(b2, b6);
    r[6] = L::UnpackLo64(b3, b7);
    r[7] = L::UnpackHi64(b3, b7);
}

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
        V changed;  // nonzero lanes: a tracked pass wrote something new this cycle
    };

    // Compare while writing: the tracked pass's extrinsics against the
    // shadow, which then takes them; differing lanes go into `changed`.
    [[gnu::always_inline]] static void Track(int16_t* shadow, V extrinsic, V& changed) {
        changed = L::Or(changed, L::Xor(L::Load(shadow), extrinsic));
        L::Store(shadow, extrinsic);
    }

    static V SlotVector(int32_t s) { return L::Set1(static_cast<int16_t>(s)); }

    // Signed reliability of a decision: +out for bit 1, -out for bit 0.
    [[gnu::always_inline]] static V Signed(V out, V bitMask) {
        const V zeroMask = L::Xor(bitMask, L::Ones());
        return L::Sub(L::Xor(out, zeroMask), zeroMask);
    }

    // One stable step of FindTwoLeast at index vector iv.
    [[gnu::always_inline]] static void TwoLeastStep(V v, V iv, V& least, V& second, V& p1, V& p2) {
        const V belowSecond = L::CmpGt(second, v);
        const V belowLeast = L::CmpGt(least, v);
        second = L::Min(second, L::Max(least, v));
        p2 = L::Select(belowLeast, p1, L::Select(belowSecond, iv, p2));
        p1 = L::Select(belowLeast, iv, p1);
        least = L::Min(least, v);
    }

    // Where a group's results go: the extrinsic value and the decision mask
    // of every slot, each handed over once.
    struct BufferSink {  // into w.soft / w.hard, for the transposing paths
        Work& w;
        void Put(int32_t s, V extrinsic, V bit) const {
            L::Store(w.soft + s * kLanes, extrinsic);
            L::Store(w.hard + s * kLanes, bit);
        }
    };
    // Straight into the block, for adjacent lines. The pointers are copied
    // in, and the differences gathered in the sink, so that they stay in
    // registers while the stores through the block views go on.
    struct BlockSink {
        const int16_t* positionOfSlot;
        int32_t first;
        int32_t stride;
        int16_t* target;
        int16_t* decisions;
        int16_t* shadow;
        mutable V changed;
        void Put(int32_t s, V extrinsic, V bit) const {
            const int32_t e = first + positionOfSlot[s] * stride;
            L::Store(target + e, extrinsic);
            if (decisions != nullptr) L::Store(decisions + e, bit);
            if (shadow != nullptr) Track(shadow + e, extrinsic, changed);
        }
    };

    // The competitor scores of one slot, once its permuted partner is known.
    // The anchor pair is no competitor: its two slots score 2 * kExcluded,
    // above every real score (|score| <= 8180) and below kNoScore. The two
    // are each other's partners, so no other slot's score holds their
    // values. Marked here in vectors: marking them lane by lane in w.soft
    // puts narrow stores just before the scan's wide loads, which then wait.
    struct CompetitorScan {
        V p1, p2;       // the anchor slots
        V m1, m1b, m2;  // the three least competitor slot scores
        [[gnu::always_inline]] void Visit(int32_t s, V partner, Work& w) {
            const V slot = SlotVector(s);
            const V isAnchor = L::Or(L::CmpEq(slot, p1), L::CmpEq(slot, p2));
            const V score = L::Select(isAnchor, L::Set1(2 * kExcluded),
                                      L::Add(L::Load(w.soft + s * kLanes), partner));
            L::Store(w.score + s * kLanes, score);
            m2 = L::Min(m2, L::Max(m1b, score));
            m1b = L::Min(m1b, L::Max(m1, score));
            m1 = L::Min(m1, score);
        }
    };

    // One round of ScanPartners: bits k0 ... k0 + kBits - 1 of c on groups
    // of 2^kBits slots, step 2^k0 apart, held in registers.
    template <int32_t kBits>
    static void PartnerRound(int32_t n, int32_t k0, bool last, V partnerXor, CompetitorScan& scan,
                             Work& w) {
        constexpr int32_t kWidth = 1 << kBits;
        const int32_t step = 1 << k0;
        V swap[kBits];
        for (int32_t b = 0; b < kBits; ++b) {
            const V bitVector = SlotVector(step << b);
            swap[b] = L::CmpEq(L::And(partnerXor, bitVector), bitVector);
        }
        const int16_t* from = k0 == 0 ? w.soft : w.score;
        for (int32_t high = 0; high < n; high += step * kWidth) {
            for (int32_t base = high; base < high + step; ++base) {
                V r[kWidth];
                for (int32_t j = 0; j < kWidth; ++j)
                    r[j] = L::Load(from + (base + j * step) * kLanes);
                for (int32_t b = 0; b < kBits; ++b) {
                    for (int32_t j = 0; j < kWidth; ++j) {
                        if (j & (1 << b)) continue;
                        const V d = L::And(L::Xor(r[j], r[j | (1 << b)]), swap[b]);
                        r[j] = L::Xor(r[j], d);
                        r[j | (1 << b)] = L::Xor(r[j | (1 << b)], d);
                    }
                }
                for (int32_t j = 0; j < kWidth; ++j) {
                    const int32_t s = base + j * step;
                    if (last) {
                        scan.Visit(s, r[j], w);
                    } else {
                        L::Store(w.score + s * kLanes, r[j]);
                    }
                }
            }
        }
    }

    // Pairs every slot s with slot s ^ c: three bits of c at a time, through
    // w.score; the last round hands each slot's partner to the scan instead
    // of storing it.
    static void ScanPartners(const AxisCode& code, V partnerXor, CompetitorScan& scan, Work& w) {
        for (int32_t k0 = 0; k0 < code.order; k0 += 3) {
            const int32_t bits = code.order - k0 < 3 ? code.order - k0 : 3;
            const bool last = k0 + bits == code.order;
            if (bits == 3) {
                PartnerRound<3>(code.n, k0, last, partnerXor, scan, w);
            } else if (bits == 2) {
                PartnerRound<2>(code.n, k0, last, partnerXor, scan, w);
            } else {
                PartnerRound<1>(code.n, k0, last, partnerXor, scan, w);
            }
        }
    }

    // The syndrome of the hard decisions (the XOR of the slots that hold a 1)
    // and their overall parity, per lane.
    struct Syndrome {
        V syndrome;
        V odd;  // all ones where the word has odd weight
    };
    [[gnu::always_inline]] static void FindSyndrome(const AxisCode& code, const Work& w, Syndrome& out) {
        const V zero = L::Zero();
        const V one = L::Set1(1);
        V syndrome = zero;
        V odd = zero;
        V slot = zero;
        for (int32_t s = 1; s < code.n; ++s) {
            slot = L::Add(slot, one);
            const V bit = L::CmpGt(L::Load(w.input + s * kLanes), zero);
            syndrome = L::Xor(syndrome, L::And(bit, slot));
            odd = L::Xor(odd, bit);
        }
        out.syndrome = syndrome;
        out.odd = L::Xor(odd, L::CmpGt(L::Load(w.input), zero));
    }

    // The least reliable pair after algebraic correction, as slots, and its
    // anchor score -(least + second).
    struct Anchor {
        V p1, p2, score;
    };

    // Algebraic correction into w.soft (signed reliabilities) and w.hard,
    // then the two least in position order (ties go to the lower position).
    // kNoFlips: every lane's word is a codeword already (zero syndrome, even
    // weight), so nothing is inverted.
    template <bool kNoFlips>
    [[gnu::always_inline]] static void CorrectAndFindAnchor(const AxisCode& code,
                                                           const Syndrome& syn, Work& w,
                                                           Anchor& out) {
        const V zero = L::Zero();
        const V parityHolds = L::Xor(syn.odd, L::Ones());
        V least = zero, second = L::Set1(SoftLimit + 1), p1 = zero, p2 = zero;
        for (int32_t i = 0; i < code.n; ++i) {
            const int32_t s = code.slotOfPosition[i];
            const V slotOfI = SlotVector(s);
            const V x = L::Load(w.input + s * kLanes);
            V v = L::Abs(x);
            V bit = L::CmpGt(x, zero);
            if (!kNoFlips) {
                V flip = L::CmpEq(syn.syndrome, slotOfI);
                if (s == 0) flip = L::Xor(flip, parityHolds);
                v = L::Sub(L::Xor(v, flip), flip);
                bit = L::Xor(bit, flip);
            }
            L::Store(w.soft + s * kLanes, v);
            L::Store(w.hard + s * kLanes, bit);
            if (i == 0) {
                least = v;
                p1 = slotOfI;
            } else {
                TwoLeastStep(v, slotOfI, least, second, p1, p2);
            }
        }
        // The rotation origin must be a cyclic position, not slot 0.
        const V originIsParity = L::CmpEq(p1, zero);
        const V origin = L::Select(originIsParity, p2, p1);
        out.p1 = origin;
        out.p2 = L::Select(originIsParity, zero, p2);
        out.score = L::Sub(zero, L::Add(least, second));
    }

    // Among equal best competitors (score m1) the pair table's order decides:
    // the least rotated first position wins. The key is that rotated position
    // and the slot, unsigned, biased for signed minimum. Returns the winning
    // first slot.
    [[gnu::always_inline]] static V TieBreakWinner(const AxisCode& code, const Anchor& anchor,
                                                   V m1, const Work& w) {
        const V zero = L::Zero();
        int16_t originPosition[kLanes];
        L::Store(originPosition, anchor.p1);
        for (int32_t l = 0; l < kLanes; ++l) {
            originPosition[l] = code.positionOfSlot[originPosition[l]];
        }
        const V originVector = L::Load(originPosition);
        const V modulus = L::Set1(static_cast<int16_t>(code.n - 1));
        const V bias = L::Set1(INT16_MIN);
        V winnerKey = L::Set1(kNoScore);
        // Slot 0 (position n-1) is never the first of its pair.
        for (int32_t s = 1; s < code.n; ++s) {
            const V slot = SlotVector(s);
            V rotated = L::Sub(L::Set1(code.positionOfSlot[s]), originVector);
            rotated = L::Add(rotated, L::And(L::CmpGt(zero, rotated), modulus));
            const V key = L::Xor(L::Or(L::ShiftLeft8(rotated), slot), bias);
            // The anchor slots score 2 * kExcluded, never m1.
            const V hit = L::CmpEq(L::Load(w.score + s * kLanes), m1);
            winnerKey = L::Min(winnerKey, L::Select(hit, key, L::Set1(kNoScore)));
        }
        return L::And(winnerKey, L::Set1(0xFF));
    }

    // DecodeHammingWord on every lane; hands the extrinsic values and
    // decisions to the sink. Returns correctionMade as a lane mask.
    template <class Sink>
    static V DecodeHammingGroup(const AxisCode& code, Work& w, const Sink& sink) {
        const int32_t n = code.n;
        const V zero = L::Zero();
        const V one = L::Set1(1);
        Syndrome syn;
        FindSyndrome(code, w, syn);
        Anchor anchor;
        if (L::Any(L::Or(syn.odd, L::Xor(L::CmpEq(syn.syndrome, zero), L::Ones())))) {
            CorrectAndFindAnchor<false>(code, syn, w, anchor);
        } else {
            CorrectAndFindAnchor<true>(code, syn, w, anchor);
        }
        const V partnerXor = L::Xor(anchor.p1, anchor.p2);

        // Pair scores of the competitors. Each pair fills two slots, so the
        // third least slot score is the second best competitor.
        CompetitorScan scan{anchor.p1, anchor.p2, L::Set1(kNoScore), L::Set1(kNoScore),
                            L::Set1(kNoScore)};
        ScanPartners(code, partnerXor, scan, w);
        const V m1 = scan.m1;
        // A competitor must score strictly below the anchor to win.
        const V moved = L::CmpGt(anchor.score, m1);
        const V best = L::Select(moved, m1, anchor.score);
        const V runnerUp = L::Select(moved, L::Min(anchor.score, scan.m2), m1);
        const V gap = L::Sub(runnerUp, best);

        // Where a competitor wins, D' replaces D: the winning pair and the
        // anchor pair are inverted. Lanes where none wins keep D, and their
        // anchor pair takes the gap.
        const auto emitMoved = [&](auto isWinnerAt) {
            V slot = zero;
            for (int32_t s = 0; s < n; ++s, slot = L::Add(slot, one)) {
                const V isAnchor = L::Or(L::CmpEq(slot, anchor.p1), L::CmpEq(slot, anchor.p2));
                const V slotScore = L::Load(w.score + s * kLanes);
                const V isWinner = isWinnerAt(slot, slotScore, isAnchor);
                const V score = L::Select(isAnchor, anchor.score, slotScore);
                const V out = L::Select(isWinner, gap, L::Sub(score, best));
                const V flip = L::And(moved, L::Or(isWinner, isAnchor));
                const V bit = L::Xor(L::Load(w.hard + s * kLanes), flip);
                sink.Put(s, L::Sub(Signed(out, bit), L::Load(w.input + s * kLanes)), bit);
            }
        };
        if (L::Any(L::And(moved, L::CmpEq(scan.m2, m1)))) {
            // Equal best competitors somewhere: the pair table's order picks.
            const V winnerSlot = TieBreakWinner(code, anchor, m1, w);
            const V winA = L::Select(moved, winnerSlot, anchor.p1);
            const V winB = L::Select(moved, L::Xor(winnerSlot, partnerXor), anchor.p2);
            emitMoved([&](V slot, V, V) { return L::Or(L::CmpEq(slot, winA), L::CmpEq(slot, winB)); });
        } else if (L::Any(moved)) {
            // One best competitor: the two slots of its pair hold m1 (the
            // anchor slots never do).
            emitMoved([&](V, V slotScore, V isAnchor) {
                return L::Select(moved, L::CmpEq(slotScore, m1), isAnchor);
            });
        } else {
            // D stays everywhere: its two least positions get the gap.
            V slot = zero;
            for (int32_t s = 0; s < n; ++s, slot = L::Add(slot, one)) {
                const V isAnchor = L::Or(L::CmpEq(slot, anchor.p1), L::CmpEq(slot, anchor.p2));
                const V out = L::Select(isAnchor, gap, L::Sub(L::Load(w.score + s * kLanes), best));
                const V bit = L::Load(w.hard + s * kLanes);
                sink.Put(s, L::Sub(Signed(out, bit), L::Load(w.input + s * kLanes)), bit);
            }
        }
        return L::Or(moved, L::Xor(L::CmpEq(syn.syndrome, zero), L::Ones()));
    }

    // DecodeParityWord on every lane; slots are positions.
    template <class Sink>
    static V DecodeParityGroup(const AxisCode& code, Work& w, const Sink& sink) {
        const int32_t n = code.n;
        const V zero = L::Zero();
        V odd = zero;
        V least = zero, second = L::Set1(SoftLimit + 1), p1 = zero, p2 = zero;
        for (int32_t i = 0; i < n; ++i) {
            const V x = L::Load(w.input + i * kLanes);
            const V reliability = L::Abs(x);
            L::Store(w.soft + i * kLanes, reliability);
            odd = L::Xor(odd, L::CmpGt(x, zero));
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
            const V out = L::Select(atPair, pairScore, L::Add(L::Load(w.soft + i * kLanes), a));
            const V x = L::Load(w.input + i * kLanes);
            const V bit = L::Xor(L::CmpGt(x, zero), L::And(odd, atP1));
            sink.Put(i, L::Sub(Signed(out, bit), x), bit);
        }
        return odd;
    }

    static int16_t ScalarRowInput(const StoreWiring& stores, int32_t e, int32_t weight) {
        int32_t feedback = Get16(stores.feedback + e);
        if (stores.feedbackExtra != nullptr) feedback += Get16(stores.feedbackExtra + e);
        return static_cast<int16_t>(RowInput(Get16(stores.channel + e), feedback, weight));
    }

    // Row inputs of kRowInputsSpan consecutive elements, for the tests of
    // each lane type.
    static void RowInputs(const int16_t* channel, const int16_t* a, const int16_t* b,
                          int16_t weight, int16_t* out) {
        static_assert(kRowInputsSpan % kLanes == 0, "whole vectors only");
        for (int32_t e = 0; e < kRowInputsSpan; e += kLanes) {
            L::Store(out + e, b == nullptr ? L::RowInput2D(channel + e, a + e, weight)
                                           : L::RowInput3D(channel + e, a + e, b + e, weight));
        }
    }

    // Row inputs of kLanes consecutive elements from e on.
    static V VectorRowInput(const StoreWiring& stores, int32_t e, int16_t weight) {
        return stores.feedbackExtra == nullptr
                   ? L::RowInput2D(stores.channel + e, stores.feedback + e, weight)
                   : L::RowInput3D(stores.channel + e, stores.feedback + e,
                                   stores.feedbackExtra + e, weight);
    }

    // Lane l is the line starting at first + l: a position of all lanes is
    // kLanes consecutive elements.
    static void GatherAdjacentLines(const AxisCode& code, int32_t first, int32_t stride,
                                    const StoreWiring& stores, Work& w) {
        const int16_t weight = static_cast<int16_t>(code.weight);
        for (int32_t i = 0; i < code.n; ++i) {
            L::Store(w.input + code.slotOfPosition[i] * kLanes,
                     VectorRowInput(stores, first + i * stride, weight));
        }
    }

    // Lane l is the line starting at first + l*lineStep with consecutive
    // positions: row inputs computed along each line, kLanes positions at a
    // time, then transposed into lanes. A last part shorter than kLanes goes
    // element by element, so nothing past a line's end is read.
    static void GatherConsecutiveLines(const AxisCode& code, int32_t first, int32_t lineStep,
                                       const StoreWiring& stores, Work& w) {
        const int32_t n = code.n;
        const int16_t weight = static_cast<int16_t>(code.weight);
        for (int32_t i0 = 0; i0 < n; i0 += kLanes) {
            const int32_t count = n - i0 < kLanes ? n - i0 : kLanes;
            V block[kLanes];
            for (int32_t l = 0; l < kLanes; ++l) {
                const int32_t e = first + l * lineStep + i0;
                if (count == kLanes) {
                    block[l] = VectorRowInput(stores, e, weight);
                } else {
                    int16_t part[kLanes] = {};
                    for (int32_t j = 0; j < count; ++j)
                        part[j] = ScalarRowInput(stores, e + j, weight);
                    block[l] = L::Load(part);
                }
            }
            L::Transpose(block);
            for (int32_t j = 0; j < count; ++j) {
                L::Store(w.input + code.slotOfPosition[i0 + j] * kLanes, block[j]);
            }
        }
    }

    // The inverse: one lane-major buffer (w.soft or w.hard) back along the
    // lines into a block view.
    static void ScatterConsecutiveLines(const AxisCode& code, const int16_t* slots, int32_t first,
                                        int32_t lineStep, int16_t* view, int16_t* shadow,
                                        Work& w) {
        const int32_t n = code.n;
        for (int32_t i0 = 0; i0 < n; i0 += kLanes) {
            const int32_t count = n - i0 < kLanes ? n - i0 : kLanes;
            V block[kLanes];
            for (int32_t j = 0; j < kLanes; ++j) {
                block[j] =
                    j < count ? L::Load(slots + code.slotOfPosition[i0 + j] * kLanes) : L::Zero();
            }
            L::Transpose(block);
            for (int32_t l = 0; l < kLanes; ++l) {
                const int32_t e = first + l * lineStep + i0;
                if (count == kLanes) {
                    L::Store(view + e, block[l]);
                    if (shadow != nullptr) Track(shadow + e, block[l], w.changed);
                } else {
                    int16_t part[kLanes];
                    L::Store(part, block[l]);
                    std::memcpy(view + e, part, sizeof(int16_t) * static_cast<size_t>(count));
                    for (int32_t j = 0; shadow != nullptr && j < count; ++j) {
                        if (Get16(shadow + e + j) != part[j]) w.changed = L::Ones();
                        Put16(shadow + e + j, part[j]);
                    }
                }
            }
        }
    }

    // Any other group (fewer lines than lanes): element by element. Unused
    // lanes decode a zero row and are never written back.
    static void GatherScattered(const AxisCode& code, const int32_t* lineFirst, int32_t count,
                                int32_t stride, const StoreWiring& stores, Work& w) {
        for (int32_t i = 0; i < code.n; ++i) {
            int16_t* at = w.input + code.slotOfPosition[i] * kLanes;
            for (int32_t l = 0; l < kLanes; ++l) {
                at[l] = l < count ? ScalarRowInput(stores, lineFirst[l] + i * stride, code.weight)
                                  : int16_t{0};
            }
        }
    }

    static void ScatterScattered(const AxisCode& code, const int32_t* lineFirst, int32_t count,
                                 int32_t stride, const StoreWiring& stores, Work& w) {
        for (int32_t i = 0; i < code.n; ++i) {
            const int32_t s = code.slotOfPosition[i];
            for (int32_t l = 0; l < count; ++l) {
                const int32_t e = lineFirst[l] + i * stride;
                const int16_t extrinsic = w.soft[s * kLanes + l];
                Put16(stores.target + e, extrinsic);
                if (stores.decisions != nullptr)
                    Put16(stores.decisions + e, w.hard[s * kLanes + l]);
                if (stores.shadow != nullptr) {
                    if (Get16(stores.shadow + e) != extrinsic) w.changed = L::Ones();
                    Put16(stores.shadow + e, extrinsic);
                }
            }
        }
    }

    template <class Sink>
    static V DecodeGroup(const AxisCode& code, Work& w, const Sink& sink) {
        return code.order != 0 ? DecodeHammingGroup(code, w, sink)
                               : DecodeParityGroup(code, w, sink);
    }

    // Decodes every line of a pass; returns its activity.
    static uint8_t RunPass(const AxisCode& code, const LineLayout& pass, const StoreWiring& stores,
                           Work& w) {
        V activity = L::Zero();
        bool partialActivity = false;
        for (int32_t o = 0; o < pass.outerCount; ++o) {
            for (int32_t i0 = 0; i0 < pass.innerCount; i0 += kLanes) {
                const int32_t count = pass.innerCount - i0 < kLanes ? pass.innerCount - i0 : kLanes;
                const int32_t first = o * pass.outerStep + i0 * pass.innerStep;
                if (count == kLanes && pass.innerStep == 1) {
                    GatherAdjacentLines(code, first, pass.lineStride, stores, w);
                    const BlockSink sink{code.positionOfSlot, first, pass.lineStride, stores.target,
                                         stores.decisions, stores.shadow, L::Zero()};
                    activity = L::Or(activity, DecodeGroup(code, w, sink));
                    w.changed = L::Or(w.changed, sink.changed);
                } else if (count == kLanes && pass.lineStride == 1) {
                    GatherConsecutiveLines(code, first, pass.innerStep, stores, w);
                    activity = L::Or(activity, DecodeGroup(code, w, BufferSink{w}));
                    ScatterConsecutiveLines(code, w.soft, first, pass.innerStep, stores.target,
                                            stores.shadow, w);
                    if (stores.decisions != nullptr) {
                        ScatterConsecutiveLines(code, w.hard, first, pass.innerStep,
                                                stores.decisions, nullptr, w);
                    }
                } else {
                    int32_t lineFirst[kLanes];
                    for (int32_t l = 0; l < count; ++l) lineFirst[l] = first + l * pass.innerStep;
                    GatherScattered(code, lineFirst, count, pass.lineStride, stores, w);
                    int16_t corrections[kLanes];
                    L::Store(corrections, DecodeGroup(code, w, BufferSink{w}));
                    for (int32_t l = 0; l < count; ++l) partialActivity |= corrections[l] != 0;
                    ScatterScattered(code, lineFirst, count, pass.lineStride, stores, w);
                }
            }
        }
        return (L::Any(activity) || partialActivity) ? 1 : 0;
    }

    // In place: the channel's data[0 .. count-1] clipped to +-kChannelClip,
    // as 16-bit values at the front of the buffer. Forward, so every 32-bit
    // value is read before it is covered. Saturating to 16 bits first
    // changes no clipped value.
    static void NarrowClipped(int32_t* data, int32_t count) {
        int16_t* view = View16(data);
        const V high = L::Set1(kChannelClip);
        const V low = L::Set1(-kChannelClip);
        int32_t e = 0;
        for (; e + kLanes <= count; e += kLanes)
            L::Store(view + e, L::Min(L::Max(L::LoadNarrow(data + e), low), high));
        for (; e < count; ++e) {
            int32_t v;
            std::memcpy(&v, data + e, sizeof v);
            Put16(view + e, static_cast<int16_t>(ClampMagnitude(v, kChannelClip)));
        }
    }

    // The inverse, backward for the same reason; decisions keep bit 0 of
    // their lane masks.
    static void Widen(int32_t* data, int32_t count, bool bits) {
        const int16_t* view = View16(data);
        int32_t e = count;
        for (; e % kLanes != 0; --e) {
            const int16_t v = Get16(view + e - 1);
            const int32_t wide = bits ? (v & 1) : v;
            std::memcpy(data + e - 1, &wide, sizeof wide);
        }
        for (; e > 0; e -= kLanes) {
            const V v = L::Load(view + e - kLanes);
            if (bits) {
                L::StoreBits(data + e - kLanes, v);
            } else {
                L::StoreWide(data + e - kLanes, v);
            }
        }
    }

    // What the schedule drives: the passes of one block on the 16-bit views,
    // with the fixed-point exit (decoding_schedule.h). The shadows of the
    // tracked passes live in the upper halves of the stores' 32-bit buffers,
    // which the 16-bit views leave free: 2D, Y's in A; 3D, Y's in A and Z's
    // in B.
    struct Runner {
        static constexpr bool kFixedPointExit = true;
        const AxisCode* codes;
        const LineLayout* lines;
        int16_t* channel;
        int16_t* decisions;
        int16_t* a;
        int16_t* b;  // null in two dimensions
        int16_t* shadow[3];
        int32_t count;  // decoded elements
        Work& w;

        uint8_t RunPass(const PassPlan& plan) {
            const StoreWiring stores{channel,
                                     a,
                                     b,
                                     plan.writeA ? a : b,
                                     plan.decisionsNeeded ? decisions : nullptr,
                                     plan.tracked ? shadow[plan.axis] : nullptr};
            return Kernel::RunPass(codes[plan.axis], lines[plan.axis], stores, w);
        }
        bool Settled() {
            // Any() reads masks; a lane of `changed` is any nonzero value.
            const bool settled = !L::Any(L::Xor(L::CmpEq(w.changed, L::Zero()), L::Ones()));
            w.changed = L::Zero();
            return settled;
        }
        void SwapStores() {
            int32_t e = 0;
            for (; e + kLanes <= count; e += kLanes) {
                const V x = L::Load(a + e);
                L::Store(a + e, L::Load(b + e));
                L::Store(b + e, x);
            }
            for (; e < count; ++e) {
                const int16_t x = Get16(a + e);
                Put16(a + e, Get16(b + e));
                Put16(b + e, x);
            }
        }
    };

    // The passes of one block (see decode_paths.h). The decoded part of the
    // channel is clipped and narrowed to 16 bits for the passes and
    // everything widened back at the end; the stores start zeroed, which
    // reads as zero in 16 bits too, and the decisions are only written by
    // passes.
    static DecodeOutcome Decode(const DecodeJob& job) {
        const ProductCode& c = job.code;
        const int32_t decoded = job.threeDimensional ? c.N() : c.PlaneSize();

        Work w;
        w.changed = L::Zero();
        AxisCode codes[3];
        MakeAxisCode(c.nx, c.kx, job.weights[0], codes[0]);
        MakeAxisCode(c.ny, c.ky, job.weights[1], codes[1]);
        if (job.threeDimensional) MakeAxisCode(c.nz, c.kz, job.weights[2], codes[2]);
        LineLayout lines[3];
        PassLayouts(c, job.threeDimensional, lines);

        NarrowClipped(job.channel, decoded);
        int16_t* const a = View16(job.extrinsicA);
        int16_t* const b = job.threeDimensional ? View16(job.extrinsicB) : nullptr;
        // The state before the first cycle is the zeroed stores.
        int16_t* const shadowY = a + decoded;
        int16_t* const shadowZ = b != nullptr ? b + decoded : nullptr;
        std::memset(shadowY, 0, sizeof(int16_t) * static_cast<size_t>(decoded));
        if (shadowZ != nullptr) std::memset(shadowZ, 0, sizeof(int16_t) * static_cast<size_t>(decoded));
        Runner runner{codes, lines, View16(job.channel), View16(job.decisions), a, b,
                      {nullptr, shadowY, shadowZ}, decoded, w};
        const ScheduleOutcome outcome =
            RunDecodingSchedule(job.iterations, job.selectiveStop, job.threeDimensional, runner);
        Widen(job.channel, decoded, false);
        Widen(job.extrinsicA, decoded, false);
        if (job.threeDimensional) Widen(job.extrinsicB, decoded, false);
        Widen(job.decisions, decoded, true);
        return DecodeOutcome{outcome.passCounter, outcome.passesComputed};
    }
};

}  // namespace fast_kernel

}  // namespace

}  // namespace tpc
