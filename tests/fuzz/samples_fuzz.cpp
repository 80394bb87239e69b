// Any stream of samples (every double bit pattern, present or not, at any
// time) through a node initialised with a usable configuration.
//
// Input layout (missing bytes read as zero):
//   u8   node (mod 3: encoder, decoder, LLR)
//   u8   configuration: code choice (bits 0-1), interleave/deinter (bit 2),
//        selective stop (bit 3), BPSK (bit 4), constellation (bits 5-6)
//   u8   decoder resolution (any, 0 taken as 1), u8 decoder iterations
//   f64  threshold (encoder), quantLimit (decoder)
//   then per run call: u8 control (bit 0 no sample, bit 1 the time is the
//   next f64 instead of one step on), f64 value (I), f64 value (Q, LLR)
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "code/product_code.h"
#include "fuzz_input.h"
#include "host/entry_points.h"
#include "host/parameter_blocks.h"

using namespace tpc;

namespace {

constexpr int kMaxRunCalls = 8192;

// Small enough that blocks complete within one input.
const ProductCode kCodes[] = {
    {8, 4, 8, 4, 1, 1},  // Hamming X and Y, N = 64
    {4, 3, 2, 1, 1, 1},  // parity codes, N = 8
    {8, 4, 4, 3, 2, 1},  // three dimensions, N = 64
    {16, 11, 8, 7, 1, 1},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const int32_t node = in.take<uint8_t>() % 3;
    const uint32_t config = in.take<uint8_t>();
    const uint8_t resolution = in.take<uint8_t>();
    const uint8_t iterations = in.take<uint8_t>();
    const double threshold = in.take<double>();
    const double quantLimit = in.take<double>();
    const ProductCode& code = kCodes[config & 3];

    EncoderParams encoder{};
    DecoderParams decoder{};
    LlrParams llr{};
    void* params = &encoder;
    auto entry = TPCENCODE;
    double systemRate = 8000;
    if (node == 0) {
        WriteEncoderDefaults(encoder);
        CopyCodeDimensions(code, encoder);
        encoder.interleave = (config >> 2) & 1;
        encoder.threshold = threshold;
    } else if (node == 1) {
        WriteDecoderDefaults(decoder);
        CopyCodeDimensions(code, decoder);
        decoder.deinter = (config >> 2) & 1;
        decoder.selectstp = (config >> 3) & 1;
        decoder.bpsk = (config >> 4) & 1;
        decoder.resolution = resolution == 0 ? 1 : resolution;
        decoder.iterations = iterations % 32;
        if (quantLimit > 0) decoder.quantLimit = quantLimit;  // others are refused
        params = &decoder, entry = TPCDECODE, systemRate = 1000;
    } else {
        WriteLlrDefaults(llr);
        static const int32_t kPoints[] = {2, 4, 8, 16};
        const uint32_t choice = (config >> 5) & 3;
        llr.numsym = kPoints[choice];
        const std::string path = ExampleConstellation(choice);
        std::memcpy(llr.file, path.data(), path.size());
        params = &llr, entry = LLRcalculator, systemRate = 4000;
    }

    FuzzHost host(params);
    host.system.systemRate = systemRate;
    host.system.timeStep = 1 / systemRate;
    host.inputs[0].rate = host.inputs[1].rate = 1000;
    if (host.call(entry, 1, 0) != 0) std::abort();  // every setup here is usable

    double now = 0;
    for (int call = 0; call < kMaxRunCalls && in.remaining() > 0; ++call) {
        const uint8_t control = in.take<uint8_t>();
        now = (control & 2) != 0 ? in.take<double>() : now + host.system.timeStep;
        host.system.currentTime = now;
        host.inputs[0].noSample = control & 1;
        host.inputs[1].noSample = control & 1;
        host.inputs[0].value = in.take<double>();
        if (node == 2) host.inputs[1].value = in.take<double>();
        if (host.call(entry, 0, 0) != 0) std::abort();
        // Outputs carry bits (0 or 1) or odd integers in -141 ... 139, or 0.0
        // past the ten stored values of a symbol.
        for (int p = 0; p < (node == 1 ? 2 : 1); ++p) {
            const PortRecord& out = host.outputs[p];
            if (out.noSample != 0) continue;
            const double v = out.value;
            const bool bit = v == 0.0 || v == 1.0;
            const bool llrValue = v >= -141 && v <= 139 && v == static_cast<int32_t>(v);
            if (node == 2 ? !llrValue : !bit) std::abort();
        }
    }
    host.call(entry, 0, 1);
    return 0;
}
