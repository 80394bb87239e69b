// Any stream of samples (every double bit pattern, present or not, at any
// time) through the encoder or decoder node initialised with a usable
// configuration of a small code, or through the LLR lookup of a table built
// once per process for an example constellation (the node builds a table of
// 65536 cells on every init, which would cost more than the samples).
//
// Input layout (missing bytes read as zero):
//   u8   choice (mod 3: encoder, decoder, LLR)
//   u8   configuration: code choice (bits 0-1), interleave/deinter (bit 2),
//        selective stop (bit 3), BPSK (bit 4), constellation (bits 5-6)
//   u8   decoder resolution (any, 0 taken as 1), u8 decoder iterations
//   f64  threshold (encoder), quantLimit (decoder)
//   then per run call of a node: u8 control (bit 0 no sample, bit 1 the
//   time is the next f64 instead of one step on), f64 value; or per LLR
//   lookup: f64 I, f64 Q
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "code/product_code.h"
#include "fuzz_input.h"
#include "host/entry_points.h"
#include "host/parameter_blocks.h"
#include "llr/constellation_reader.h"
#include "llr/llr_table.h"

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

// The LLR node's table for example constellation `choice` at its defaults,
// built at the first input that asks for it.
struct ExampleTable {
    int32_t points;
    int32_t bits;
    std::vector<double> entries;
};

const ExampleTable& TableFor(uint32_t choice) {
    static const int32_t kPoints[] = {2, 4, 8, 16};
    static ExampleTable tables[4];
    ExampleTable& t = tables[choice];
    if (t.entries.empty()) {
        t.points = kPoints[choice];
        t.bits = BitsPerSymbol(t.points);
        double pointI[kMaxConstellationPoints] = {}, pointQ[kMaxConstellationPoints] = {};
        int32_t openFailed = 0;
        if (ReadConstellation(pointI, pointQ, t.points, ExampleConstellation(choice).c_str(),
                              &openFailed) != t.points) {
            std::abort();
        }
        t.entries.resize(static_cast<size_t>(t.bits) * kTableCells);
        if (!BuildLlrTable(pointI, pointQ, t.entries.data(), t.points, kDefaultLlrLimit, kGridBits,
                           kDefaultLlrEsNo)
                 .ok()) {
            std::abort();
        }
    }
    return t;
}

// The LLR node's lookup for each I/Q pair of the stream: odd integers in
// -141 ... 139 for every cell, whatever the sample.
void LookUpSamples(FuzzInput& in, uint32_t choice) {
    const ExampleTable& table = TableFor(choice);
    for (int call = 0; call < kMaxRunCalls && in.remaining() > 0; ++call) {
        const double I = in.take<double>(), Q = in.take<double>();
        int32_t row = -1, column = -1;
        LocateReceivedCell(I, Q, kDefaultLlrLimit, &row, &column);
        if (row < 0 || row >= kGridCells || column < 0 || column >= kGridCells) std::abort();
        int32_t llrs[kMaxBitsPerSymbol];
        FetchSymbolLlrs(table.bits, row, column, llrs, table.entries.data());
        for (int32_t k = 0; k < table.bits; ++k) {
            if (llrs[k] < -141 || llrs[k] > 139 || llrs[k] % 2 == 0) std::abort();
        }
    }
}

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
    if (node == 2) {
        LookUpSamples(in, (config >> 5) & 3);
        return 0;
    }

    EncoderParams encoder{};
    DecoderParams decoder{};
    void* params = &encoder;
    auto entry = TPCENCODE;
    double systemRate = 8000;
    if (node == 0) {
        WriteEncoderDefaults(encoder);
        CopyCodeDimensions(code, encoder);
        encoder.interleave = (config >> 2) & 1;
        encoder.threshold = threshold;
    } else {
        WriteDecoderDefaults(decoder);
        CopyCodeDimensions(code, decoder);
        decoder.deinter = (config >> 2) & 1;
        decoder.selectstp = (config >> 3) & 1;
        decoder.bpsk = (config >> 4) & 1;
        decoder.resolution = resolution == 0 ? 1 : resolution;
        decoder.iterations = iterations % 32;
        if (quantLimit > 0) decoder.quantLimit = quantLimit;  // others are refused
        params = &decoder, entry = TPCDECODE, systemRate = 1000;
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
        if (host.call(entry, 0, 0) != 0) std::abort();
        // Outputs carry bits, 0 or 1.
        for (int p = 0; p < (node == 1 ? 2 : 1); ++p) {
            const PortRecord& out = host.outputs[p];
            if (out.noSample != 0) continue;
            if (out.value != 0.0 && out.value != 1.0) std::abort();
        }
    }
    host.call(entry, 0, 1);
    return 0;
}
