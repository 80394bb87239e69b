// Encoding and decoding batches of product code blocks.
//
// A batch is `blocks` blocks back to back: information bits K per block,
// code bits and received values N per block. Bits are bytes holding 0 or 1.
//
// Decoding takes either BPSK amplitudes (+1 for bit 1, quantised as the
// decoder node quantises them: `resolution` bits over +-`quantLimit`),
// integer soft values (> 0 favouring bit 1, such as the LLRs of LlrTable) or
// real LLRs (the same sign, scaled into soft values), and returns per block the decisions on all N code bits in block order, the
// K information bits, and the axis passes that ran. Results are those of the
// decoder node to the bit, whatever the path and the number of threads.
//
// Threads: a Codec is used by one thread at a time (it keeps the decoders'
// and encoders' buffers between calls). A call with `threads` > 1 spreads
// the batch's blocks over that many threads (the calling thread among them),
// each with its own decoder; they are started by the call and joined before
// it returns, so small batches are best run with one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tpc/code.h"
#include "tpc/visibility.h"
// The decoder's bounds and defaults (tpc::kDefaultDecoderPasses, ...),
// installed beside this header as tpc/decoder/decoder_limits.h.
#include "decoder/decoder_limits.h"

namespace tpc {
namespace api {

// The decoder's implementations; all give the same results. kFastest picks,
// per code, the fastest one this CPU runs.
enum class DecoderPath : int32_t {
    kPlain = 0,     // line by line, the reference
    kPortable = 1,  // 8 lines at a time in plain C++
    kSse2 = 2,
    kAvx2 = 3,
    kAvx512 = 4,
    kFastest = 5,
};

// The scale DecodeLlrs applies by default: exact LLRs of BPSK over AWGN,
// 2y / sigma^2, scaled by it decode with the error rates of DecodeAmplitudes
// on the amplitudes y with the default quantiser (measured on the default
// code at Eb/N0 2.5 ... 3.2 dB). The quantiser's own step, 11.4 levels per
// unit amplitude, would give 11.4 / (4 Es/N0), about 1.8 there; that decodes
// some 0.03 dB better than the quantiser, whose levels are floored and stop
// at -16 and 15 where these are rounded and stop at +-31.
inline constexpr double kDefaultLlrScale = 1.25;

struct DecodeOptions {
    // Maximum axis passes, 1 ... kMaxDecoderPasses (whole cycles run).
    int32_t passes = kDefaultDecoderPasses;
    // X, Y, Z feedback in sixteenths, kFeedbackWeight.min ... kFeedbackWeight.max.
    int32_t weights[3] = {kFeedbackWeight.initial, kFeedbackWeight.initial, kFeedbackWeight.initial};
    bool selectiveStop = false;       // stop once a cycle of passes corrects nothing
    bool deinterleave = false;        // values arrive in the encoder's interleaved order
    // Amplitudes only: quantiser bits, kQuantizerResolution.min ... kQuantizerResolution.max.
    int32_t resolution = kQuantizerResolution.initial;
    // Amplitudes only: clipping amplitude, finite and > 0.
    double quantLimit = kDefaultQuantizerLimit;
    int32_t threads = 1;              // 1 ... 1024
    DecoderPath path = DecoderPath::kFastest;
};

// Where a batch's results go; any of them may be null when not wanted.
struct DecodeTargets {
    uint8_t* decisions = nullptr;  // blocks x N
    uint8_t* info = nullptr;       // blocks x K
    int32_t* passes = nullptr;     // blocks
};

struct DecodedBatch {
    std::vector<uint8_t> decisions;  // blocks x N
    std::vector<uint8_t> info;       // blocks x K
    std::vector<int32_t> passes;     // blocks
};

class TPC_API Codec {
public:
    explicit Codec(const Code& code);
    ~Codec();
    Codec(Codec&&) noexcept;
    Codec& operator=(Codec&&) noexcept;
    Codec(const Codec&) = delete;
    Codec& operator=(const Codec&) = delete;

    const Code& code() const;

    // blocks x K information bits in, blocks x N code bits out, in block
    // order or, with `interleave`, in the helical order the decoder undoes
    // with DecodeOptions::deinterleave. Throws std::invalid_argument for a
    // byte other than 0 or 1 (before writing anything) or a bad thread count.
    void Encode(const uint8_t* info, size_t blocks, uint8_t* codeBits, bool interleave = false,
                int32_t threads = 1);
    std::vector<uint8_t> Encode(const std::vector<uint8_t>& info, bool interleave = false,
                                int32_t threads = 1);

    // blocks x N values in arrival order. Options are checked first
    // (std::invalid_argument); the inputs are never written.
    void DecodeAmplitudes(const double* amplitudes, size_t blocks, const DecodeOptions& options,
                          const DecodeTargets& targets);
    void DecodeSoftValues(const int32_t* values, size_t blocks, const DecodeOptions& options,
                          const DecodeTargets& targets);
    DecodedBatch DecodeAmplitudes(const std::vector<double>& amplitudes,
                                  const DecodeOptions& options = DecodeOptions());
    DecodedBatch DecodeSoftValues(const std::vector<int32_t>& values,
                                  const DecodeOptions& options = DecodeOptions());

    // Real LLRs (> 0 favouring bit 1) multiplied by `scale`, rounded to the
    // nearest integer (halves away from zero) and clipped to the decoder's
    // +-31, then decoded as soft values; an LLR that is not a number counts
    // as 0. Throws std::invalid_argument for a scale that is not a positive
    // finite number. The quantiser's options are not looked at.
    void DecodeLlrs(const double* llrs, size_t blocks, double scale, const DecodeOptions& options,
                    const DecodeTargets& targets);
    DecodedBatch DecodeLlrs(const std::vector<double>& llrs, double scale = kDefaultLlrScale,
                            const DecodeOptions& options = DecodeOptions());

    // The path kFastest stands for with this code on this CPU.
    DecoderPath FastestPath() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// "plain", "portable", "sse2", "avx2", "avx512" or "fastest".
TPC_API const char* DecoderPathName(DecoderPath path);
// Whether this build and CPU run the path (kFastest always).
TPC_API bool DecoderPathAvailable(DecoderPath path);

}  // namespace api
}  // namespace tpc
