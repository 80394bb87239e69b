// Iterative soft-in soft-out decoder of one product block.
//
// A ProductDecoder is made once for a code and its settings and then decodes
// block after block. The block is decoded in axis passes (the order is in
// decoding_schedule.h): a pass decodes every line along one axis with that
// axis's component decoder and leaves each position's extrinsic value (soft
// output minus soft input) in a store; later passes add the stored values,
// weighted in sixteenths, to the channel values.
//
// Element (x, y, z) lies at nx*ny*z + nx*y + x. Every implementation (path)
// returns exactly what the plain one returns, in every buffer; the plain one
// stays as the reference. One decoder per thread: a decoder's scratch is its
// own, and nothing is shared between decoders.
#pragma once

#include <cstdint>
#include <vector>

#include "code/aligned_vector.h"
#include "code/product_code.h"
#include "decoder/decoder_limits.h"

namespace tpc {

enum class ProductDecoderPath : int32_t {
    kPlain = 0,     // line by line, the reference
    kPortable = 1,  // 8 lines at a time in plain C++ lanes
    kSse2 = 2,      // 8 lines at a time in SSE2 registers (x86 builds)
    kAvx2 = 3,      // 16 lines at a time in AVX2 registers (x86 builds)
    kAvx512 = 4,    // 32 lines at a time in AVX-512BW registers (x86 builds)
    kFastest = 5,   // the fastest path this build and this CPU offer
};

struct DecoderSettings {
    int32_t iterations = kDefaultDecoderPasses;  // maximum axis passes, rounded up to whole cycles
    // NUMX, NUMY, NUMZ: feedback in sixteenths, kFeedbackWeight.min ... kFeedbackWeight.max
    int32_t weights[3] = {kFeedbackWeight.initial, kFeedbackWeight.initial, kFeedbackWeight.initial};
    bool selectiveStop = false;    // stop once the passes make no correction
    ProductDecoderPath path = ProductDecoderPath::kFastest;
};

// The extrinsic stores of one decoder: N entries each (two dimensions use
// the first plane of A only).
struct DecoderStores {
    int32_t* extrinsicA;
    int32_t* extrinsicB;
};

class ProductDecoder {
public:
    // Owns its stores. The code must pass CheckProductCode. A path this
    // build or CPU lacks becomes kFastest; settings().path tells the path
    // that runs.
    ProductDecoder(const ProductCode& code, const DecoderSettings& settings);
    // Works in the caller's stores, allocating nothing (the decoder node's
    // state record holds them).
    ProductDecoder(const ProductCode& code, const DecoderSettings& settings, DecoderStores stores);

    // Decodes one block.
    //   channel    in/out  N soft values, > 0 favouring bit 1; all N are left
    //                      clipped to +-31
    //   decisions  out     bits 0/1 of the last pass that ran for every decoded
    //                      element (the first plane in two dimensions);
    //                      elements no pass reached are left untouched
    // Returns the number of axis passes that ran. The lane paths may reach
    // that result computing fewer (a fixed point of the passes); the plain
    // path computes them all.
    int32_t Decode(int32_t* channel, int32_t* decisions);
    // The passes the last Decode actually computed.
    int32_t passesComputed() const { return passesComputed_; }

    const ProductCode& code() const { return code_; }
    const DecoderSettings& settings() const { return settings_; }

private:
    ProductCode code_;
    DecoderSettings settings_;
    LineAlignedVector<int32_t> ownedStores_;  // on a line: the wide paths read and write it whole
    DecoderStores stores_;
    int32_t passesComputed_ = 0;
};

// Short lower-case name ("plain", "portable", "sse2", "avx2", "avx512", "fastest").
const char* ProductDecoderPathName(ProductDecoderPath path);
// Whether this build and this CPU can run the path (kFastest always can).
bool ProductDecoderPathAvailable(ProductDecoderPath path);
// What kFastest stands for with this code here: AVX-512BW, else AVX2, else
// SSE2, else the portable path. AVX-512BW only where the passes have 32 lines
// to a group (nx and ny at least 32): with fewer its lanes would be filled
// one element at a time.
ProductDecoderPath FastestProductDecoderPath(const ProductCode& code);

// The function form of the decoder: one block with every buffer the
// caller's, on the fastest path. The schedule follows kz (< 2: two
// dimensions, which still clips all blockSize channel values but decodes,
// and writes decisions for, only the first plane). Sets the pass counter
// below.
void DecodeProductBlock(int32_t iterations, uint32_t selectstp, int32_t* channel,
                        int32_t* decisions, int32_t nx, int32_t kx, int32_t ny, int32_t ky,
                        int32_t nz, int32_t kz, int32_t blockSize, int32_t NUMX, int32_t NUMY,
                        int32_t NUMZ, int32_t planeSize, int32_t* extrinsicA,
                        int32_t* extrinsicB);
// The pass counter of the last block decoded through the function forms or
// the decoder node on the calling thread: 1 plus the passes that ran. Per
// thread, so that decoders on separate threads never race; the host calls
// from one thread, where it is the library-wide counter. ProductDecoder
// objects leave it alone: Decode returns the count instead.
int32_t DecoderPassCounter();
void SetDecoderPassCounter(int32_t value);

// What a position hands on to later passes: its signed soft output
// (+reliability for bit 1, -reliability for bit 0) minus its row input.
int32_t ExtrinsicValue(uint8_t bit, int32_t reliability, int32_t rowInput);

}  // namespace tpc
