// The fast product decoder over plain C++ lanes: eight 16-bit lanes in an
// array, every operation a loop the compiler may vectorise for whatever
// target it builds for. The fallback wherever no SIMD path applies.
#include <cstdint>
#include <cstring>

#include "decoder/fast_product_decoder.h"
#include "decoder/fast_product_kernel.h"

namespace {

struct PortableLanes {
    static constexpr int32_t kLanes = 8;
    struct V {
        int16_t lane[kLanes];
    };

    template <class Op>
    static V Map(V a, V b, Op op) {
        V r;
        for (int32_t l = 0; l < kLanes; ++l) r.lane[l] = static_cast<int16_t>(op(a.lane[l], b.lane[l]));
        return r;
    }
    static int16_t Mask(bool c) { return c ? int16_t{-1} : int16_t{0}; }

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
    static V Add(V a, V b) { return Map(a, b, [](int32_t x, int32_t y) { return x + y; }); }
    static V Sub(V a, V b) { return Map(a, b, [](int32_t x, int32_t y) { return x - y; }); }
    static V AddSat(V a, V b) {
        return Map(a, b, [](int32_t x, int32_t y) {
            const int32_t s = x + y;
            return s > INT16_MAX ? INT16_MAX : (s < INT16_MIN ? INT16_MIN : s);
        });
    }
    static V Min(V a, V b) { return Map(a, b, [](int32_t x, int32_t y) { return x < y ? x : y; }); }
    static V Max(V a, V b) { return Map(a, b, [](int32_t x, int32_t y) { return x > y ? x : y; }); }
    static V CmpEq(V a, V b) { return Map(a, b, [](int32_t x, int32_t y) { return Mask(x == y); }); }
    static V CmpGt(V a, V b) { return Map(a, b, [](int32_t x, int32_t y) { return Mask(x > y); }); }
    static V And(V a, V b) { return Map(a, b, [](int32_t x, int32_t y) { return x & y; }); }
    static V Or(V a, V b) { return Map(a, b, [](int32_t x, int32_t y) { return x | y; }); }
    static V Xor(V a, V b) { return Map(a, b, [](int32_t x, int32_t y) { return x ^ y; }); }
    static V AndNot(V a, V b) { return And(Xor(a, Ones()), b); }
    static V Select(V mask, V a, V b) { return Or(And(mask, a), And(Xor(mask, Ones()), b)); }
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
        for (int32_t l = 0; l < kLanes; ++l) r.lane[l] = static_cast<int16_t>(wide[l]);
        return r;
    }
    static V RowInput2D(const int16_t* channel, const int16_t* feedback, int16_t weight) {
        const V c = Load(channel);
        const V f = Load(feedback);
        V r;
        for (int32_t l = 0; l < kLanes; ++l) {
            r.lane[l] = static_cast<int16_t>(::RowInput(c.lane[l], f.lane[l], weight));
        }
        return r;
    }
    static V RowInput3D(const int16_t* channel, const int16_t* feedbackA,
                        const int16_t* feedbackB, int16_t weight) {
        const V c = Load(channel);
        const V a = Load(feedbackA);
        const V b = Load(feedbackB);
        V r;
        for (int32_t l = 0; l < kLanes; ++l) {
            r.lane[l] = static_cast<int16_t>(::RowInput(c.lane[l], a.lane[l] + b.lane[l], weight));
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

void DecodeProductBlockPortable(int32_t iterations, uint32_t selectstp, int32_t* channel,
                                int32_t* decisions, int32_t nx, int32_t kx, int32_t ny,
                                int32_t ky, int32_t nz, int32_t kz, int32_t blockSize,
                                int32_t NUMX, int32_t NUMY, int32_t NUMZ, int32_t planeSize,
                                int32_t* extrinsicA, int32_t* extrinsicB) {
    fast_kernel::Kernel<PortableLanes>::Decode(iterations, selectstp, channel, decisions, nx, kx,
                                               ny, ky, nz, kz, blockSize, NUMX, NUMY, NUMZ,
                                               planeSize, extrinsicA, extrinsicB);
}
