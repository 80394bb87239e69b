// The fast product decoder over plain C++ lanes: eight 16-bit lanes in an
// array, every operation a loop the compiler may vectorise for whatever
// target it builds for. The fallback wherever no SIMD path applies.
#include <cstdint>
#include <cstring>

#include "decoder/decode_paths.h"
#include "decoder/decoding_schedule.h"
#include "decoder/fast_product_kernel.h"

namespace tpc {

namespace {

struct PortableLanes {
    static constexpr int32_t kLanes = 8;
    struct V {
        int16_t lane[kLanes];
    };

    static V Set1(int16_t v) {
        V r;
        for (int32_t l = 0; l < kLanes; ++l) r.lane[l] = v;
        return r;
    }
    static V Zero() { return Set1(0); }
    static V Ones() { return Set1(-1); }
    // By memcpy: the 16-bit block views live inside 32-bit buffers.
    static V Load(const int16_t* p) {
        V r;
        std::memcpy(r.lane, p, sizeof r.lane);
        return r;
    }
    static void Store(int16_t* p, V v) { std::memcpy(p, v.lane, sizeof v.lane); }
    // Sums and differences wrap like the 16-bit hardware lanes; the kernel
    // keeps them in range anyway.
    static V Add(V a, V b) {
        V r;
        for (int32_t l = 0; l < kLanes; ++l) {
            const int32_t x = a.lane[l], y = b.lane[l];
            r.lane[l] = static_cast<int16_t>(x + y);
        }
        return r;
    }
    static V Sub(V a, V b) {
        V r;
        for (int32_t l = 0; l < kLanes; ++l) {
            const int32_t x = a.lane[l], y = b.lane[l];
            r.lane[l] = static_cast<int16_t>(x - y);
        }
        return r;
    }
    static V AddSat(V a, V b) {
        V r;
        for (int32_t l = 0; l < kLanes; ++l) {
            const int32_t sum = a.lane[l] + b.lane[l];
            r.lane[l] = static_cast<int16_t>(sum > INT16_MAX ? INT16_MAX
                                                             : (sum < INT16_MIN ? INT16_MIN : sum));
        }
        return r;
    }
    static V Min(V a, V b) {
        V r;
        for (int32_t l = 0; l < kLanes; ++l) {
            const int32_t x = a.lane[l], y = b.lane[l];
            r.lane[l] = static_cast<int16_t>(x < y ? x : y);
        }
        return r;
    }
    static V Max(V a, V b) {
        V r;
        for (int32_t l = 0; l < kLanes; ++l) {
            const int32_t x = a.lane[l], y = b.lane[l];
            r.lane[l] = static_cast<int16_t>(x > y ? x : y);
        }
        return r;
    }
    static V CmpEq(V a, V b) {
        V r;
        for (int32_t l = 0; l < kLanes; ++l) {
            const int32_t x = a.lane[l], y = b.lane[l];
            r.lane[l] = static_cast<int16_t>(x == y ? -1 : 0);
        }
        return r;
    }
    static V CmpGt(V a, V b) {
        V r;
        for (int32_t l = 0; l < kLanes; ++l) {
            const int32_t x = a.lane[l], y = b.lane[l];
            r.lane[l] = static_cast<int16_t>(x > y ? -1 : 0);
        }
        return r;
    }
    static V And(V a, V b) {
        V r;
        for (int32_t l = 0; l < kLanes; ++l) {
            const int32_t x = a.lane[l], y = b.lane[l];
            r.lane[l] = static_cast<int16_t>(x & y);
        }
        return r;
    }
    static V Or(V a, V b) {
        V r;
        for (int32_t l = 0; l < kLanes; ++l) {
            const int32_t x = a.lane[l], y = b.lane[l];
            r.lane[l] = static_cast<int16_t>(x | y);
        }
        return r;
    }
    static V Xor(V a, V b) {
        V r;
        for (int32_t l = 0; l < kLanes; ++l) {
            const int32_t x = a.lane[l], y = b.lane[l];
            r.lane[l] = static_cast<int16_t>(x ^ y);
        }
        return r;
    }
    static V AndNot(V a, V b) {
        V r;
        for (int32_t l = 0; l < kLanes; ++l)
            r.lane[l] = static_cast<int16_t>(~a.lane[l] & b.lane[l]);
        return r;
    }
    static V Select(V mask, V a, V b) {
        V r;
        for (int32_t l = 0; l < kLanes; ++l) {
            r.lane[l] =
                static_cast<int16_t>((mask.lane[l] & a.lane[l]) | (~mask.lane[l] & b.lane[l]));
        }
        return r;
    }
    static V Abs(V a) { return Max(a, Sub(Zero(), a)); }
    static V ShiftLeft8(V a) {
        V r;
        for (int32_t l = 0; l < kLanes; ++l) {
            r.lane[l] = static_cast<int16_t>(static_cast<uint16_t>(a.lane[l]) << 8);
        }
        return r;
    }
    static bool Any(V mask) {
        int16_t any = 0;
        for (int32_t l = 0; l < kLanes; ++l) any |= mask.lane[l];
        return any != 0;
    }
    static V LoadNarrow(const int32_t* p) {
        int32_t wide[kLanes];
        std::memcpy(wide, p, sizeof wide);
        V r;
        // Saturating, as the x86 packs do.
        for (int32_t l = 0; l < kLanes; ++l) {
            r.lane[l] = static_cast<int16_t>(wide[l] > INT16_MAX   ? INT16_MAX
                                             : wide[l] < INT16_MIN ? INT16_MIN
                                                                   : wide[l]);
        }
        return r;
    }
    static V RowInput2D(const int16_t* channel, const int16_t* feedback, int16_t weight) {
        const V c = Load(channel);
        const V f = Load(feedback);
        V r;
        for (int32_t l = 0; l < kLanes; ++l) {
            r.lane[l] = static_cast<int16_t>(RowInput(c.lane[l], f.lane[l], weight));
        }
        return r;
    }
    static V RowInput3D(const int16_t* channel, const int16_t* feedbackA, const int16_t* feedbackB,
                        int16_t weight) {
        const V c = Load(channel);
        const V a = Load(feedbackA);
        const V b = Load(feedbackB);
        V r;
        for (int32_t l = 0; l < kLanes; ++l) {
            r.lane[l] = static_cast<int16_t>(RowInput(c.lane[l], a.lane[l] + b.lane[l], weight));
        }
        return r;
    }
    // By memcpy, as the 32-bit buffers are also seen through 16-bit views.
    static void StoreWide(int32_t* p, V v) {
        int32_t wide[kLanes];
        for (int32_t l = 0; l < kLanes; ++l) wide[l] = v.lane[l];
        std::memcpy(p, wide, sizeof wide);
    }
    static void StoreBits(int32_t* p, V mask) {
        int32_t wide[kLanes];
        for (int32_t l = 0; l < kLanes; ++l) wide[l] = mask.lane[l] & 1;
        std::memcpy(p, wide, sizeof wide);
    }
    static void Transpose(V* rows) {
        for (int32_t i = 0; i < kLanes; ++i) {
            for (int32_t j = i + 1; j < kLanes; ++j) {
                const int16_t t = rows[i].lane[j];
                rows[i].lane[j] = rows[j].lane[i];
                rows[j].lane[i] = t;
            }
        }
    }
};

}  // namespace

void RowInputsPortable(const int16_t* channel, const int16_t* a, const int16_t* b, int16_t weight,
                       int16_t* out) {
    fast_kernel::Kernel<PortableLanes>::RowInputs(channel, a, b, weight, out);
}

DecodeOutcome DecodePortable(const DecodeJob& job) {
    return fast_kernel::Kernel<PortableLanes>::Decode(job);
}

}  // namespace tpc
