// TPCENCODE: collects K information bits, encodes them as one product block
// and emits the N coded bits at N/K times the input rate, one block behind.
//
//   input  . . . . block b . . . . | . . . . block b+1 . . . |
//   output  (zeros)                | block b, N samples       |
//
// Block b is encoded in the call that brings the first bit of block b+1.
#include <cmath>

#include "code/product_code.h"
#include "encoder/product_encoder.h"
#include "host/entry_points.h"
#include "host/node_frame.h"

namespace tpc {

namespace {

constexpr int32_t kAllocationFailure = 6;
constexpr int32_t kRateTooHigh = 7;
constexpr int32_t kUnusableTiming = 8;
constexpr double kRateMargin = 1e-11;
constexpr Status kRateError = Failure(kRateTooHigh,
                                      "n/k * input sample rate > system rate. Increase the systemrate, "
                                      "decrease the input sample rate or decrease the code bits to "
                                      "message bits ratio n/k");
constexpr int32_t kWordEntries = 256;
// The state record's parity array; the shift register clears and uses the
// first kParityRegisterClear (10) entries of it.
constexpr int32_t kParityEntries = 70;

struct EncoderState {
    int32_t nx, kx, ny, ky, nz, kz;
    int32_t blockSize;  // N
    int32_t infoSize;   // K
    int32_t cyclicLengthX, cyclicLengthY, cyclicLengthZ;  // for the record; encoding reads the ProductCode
    int32_t* word;
    int32_t* parity;
    double delaySeconds;
    int32_t* codeBlock;
    double* inputBits;
    int32_t* infoGrid;
    int32_t* outputBits;
    uint32_t interleave;
    int32_t inCount;
    int32_t outCount;
    double threshold;
    double outIndex;
    double outPeriod;
    uint32_t inputStarted;
    uint32_t offsetReached;
    double phase;
};

void ReleaseBuffers(EncoderState& s) {
    ReleaseBuffer(s.codeBlock);
    ReleaseBuffer(s.inputBits);
    ReleaseBuffer(s.infoGrid);
    ReleaseBuffer(s.outputBits);
    ReleaseBuffer(s.parity);
    ReleaseBuffer(s.word);
}

int32_t CyclicLength(int32_t n, int32_t k) { return n - k == 1 ? n : n - 1; }

// After every parameter check above has passed: the values those checks let
// through but no run can use (see host/node_frame.h).
Status CheckEncoderTiming(const SystemRecord& system, double inputRate, double outputRate,
                          const EncoderState& s) {
    if (const Status timing = CheckTiming(system, inputRate, kUnusableTiming); !timing.ok()) {
        return timing;
    }
    if (!IsPositiveFinite(system.systemRate)) return Failure(kUnusableTiming, kSystemRateError);
    if (!HasUsablePeriod(outputRate)) return Failure(kUnusableTiming, kInputRateError);
    // The phase overflows when the offset, counted in output periods, does.
    if (!std::isfinite(s.delaySeconds) || !std::isfinite(s.phase)) {
        return Failure(kUnusableTiming, kOffsetError);
    }
    return kOk;
}

int32_t Initialise(const SystemRecord& system, NodeInstance& instance, EncoderState& s) {
    const EncoderParams& p = *static_cast<const EncoderParams*>(instance.params);
    const PortRecord& input = *instance.inputs[0];
    PortRecord& output = instance.outputs[0];

    CopyCodeDimensions(p, s);
    s.threshold = p.threshold;
    s.interleave = p.interleave != 0 ? 1 : 0;
    s.delaySeconds = OffsetInSeconds(p.delay, p.inBits, input.rate);

    const Status dimensions = CheckProductCode(ProductCodeOf(p));
    if (!dimensions.ok()) return ReportError(system, dimensions);

    s.cyclicLengthX = CyclicLength(s.nx, s.kx);
    s.cyclicLengthY = CyclicLength(s.ny, s.ky);
    s.cyclicLengthZ = CyclicLength(s.nz, s.kz);
    s.blockSize = s.nx * s.ny * s.nz;
    s.infoSize = s.kx * s.ky * s.kz;
    s.inputStarted = 0;
    s.offsetReached = 0;

    // A record left from a run without a final call still holds buffers.
    ReleaseBuffers(s);
    const size_t n = static_cast<size_t>(s.blockSize);
    if (!AllocateBuffer(s.codeBlock, n) ||
        !AllocateBuffer(s.inputBits, static_cast<size_t>(s.infoSize)) ||
        !AllocateBuffer(s.infoGrid, n) || !AllocateBuffer(s.word, kWordEntries) ||
        !AllocateBuffer(s.parity, kParityEntries) || !AllocateBuffer(s.outputBits, n)) {
        return ReportError(system, Failure(kAllocationFailure, kBufferAllocationError));
    }

    output.rate = (input.rate * s.blockSize) / s.infoSize;
    output.time = input.time;
    CopyPortInfo(input, output);
    if (output.rate - kRateMargin > system.systemRate) {
        return ReportError(system, kRateError);
    }

    // The output grid is shifted by the fraction of an output period that
    // the offset does not fill.
    const double d = s.delaySeconds * output.rate;
    s.phase = (d - std::trunc(d)) * (1 / output.rate);

    s.inCount = 0;
    s.outCount = 0;
    s.outIndex = 0.0;
    s.outPeriod = 1 / output.rate;
    const Status timing = CheckEncoderTiming(system, input.rate, output.rate, s);
    return timing.ok() ? 0 : ReportError(system, timing);
}

void Run(const SystemRecord& system, NodeInstance& instance, EncoderState& s) {
    const PortRecord& input = *instance.inputs[0];
    PortRecord& output = instance.outputs[0];
    const bool offsetReachedNow = TimeReached(s.delaySeconds, system);

    if (offsetReachedNow) s.offsetReached = 1;
    // Until the first bit is stored, emission restarts at bit 0.
    if (s.offsetReached == 1 && s.inputStarted == 0) s.outCount = 0;

    if (input.noSample == 0) {
        if (s.inCount == s.infoSize) {
            s.inCount = 0;
            s.outCount = 0;
            ProductEncoder(ProductCodeOf(s), s.interleave != 0,
                           {s.infoGrid, s.codeBlock, s.word, s.parity})
                .Encode(s.inputBits, s.outputBits);
        }
        if (offsetReachedNow) {
            // A sample or threshold that is not a number never reaches the
            // threshold: the bit is 0.
            s.inputBits[s.inCount] = input.value >= s.threshold ? 1.0 : 0.0;
            ++s.inCount;
            s.inputStarted = 1;
        }
    }

    const bool available = s.outCount < s.blockSize && s.phase <= system.currentTime;
    if (TakesSample(output, system, available)) {
        EmitNext(output, s.outputBits[s.outCount], input, s.outIndex, s.outPeriod, s.phase);
        ++s.outCount;
    }
}

constexpr NodePhases<EncoderState> kPhases{kAllocationFailure, Initialise, Run, ReleaseBuffers};

}  // namespace

}  // namespace tpc

extern "C" int32_t TPCENCODE(SystemRecord* system, NodeInstance* instance) {
    return tpc::DispatchNodeCall(*system, *instance, tpc::kPhases);
}
