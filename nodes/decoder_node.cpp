// TPCDECODE: gathers one soft value per code bit, decodes each complete block
// in the call that completes it, and emits the decoded block (port 0, at the
// input rate) and its information bits (port 1, at K/N of the input rate)
// while the next block is gathered.
#include <cmath>

#include "decoder/decoding_parameters.h"
#include "decoder/product_decoder.h"
#include "decoder/quantizer.h"
#include "code/product_code.h"
#include "host/entry_points.h"
#include "host/node_frame.h"

namespace tpc {

namespace {

constexpr int32_t kAllocationFailure = 1;
constexpr int32_t kUnusableTiming = 9;

struct DecoderState {
    int32_t resolution;
    double quantLimit;
    double* received;
    int32_t* channel;
    int32_t* decisions;
    int32_t* infoBits;
    double blockOutCount;
    double infoOutCount;
    double blockPeriod;
    double infoPeriod;
    int32_t fill;
    int32_t blockOutIndex;
    int32_t infoOutIndex;
    int32_t nx, kx, ny, ky, nz, kz;
    int32_t blockSize;
    int32_t infoSize;
    int32_t iterations;
    int32_t NUMX, NUMY, NUMZ;
    int32_t planeSize;
    uint32_t deinter;
    uint32_t selectstp;
    int32_t* extrinsicA;
    int32_t* extrinsicB;
    double offsetTime;
    uint32_t started;
    uint32_t anyStored;
    uint32_t bpsk;
    uint32_t higherOrderMod;  // a copy for the record; the mode follows bpsk alone
};

void ReleaseBuffers(DecoderState& s) {
    ReleaseBuffer(s.received);
    ReleaseBuffer(s.channel);
    ReleaseBuffer(s.decisions);
    ReleaseBuffer(s.extrinsicA);
    ReleaseBuffer(s.extrinsicB);
    ReleaseBuffer(s.infoBits);
}

// After every parameter check above has passed: the values those checks let
// through but no run can use (see host/node_frame.h).
Status CheckDecoderTiming(const SystemRecord& system, double inputRate, double infoRate,
                          const DecoderState& s) {
    if (const Status timing = CheckTiming(system, inputRate, kUnusableTiming); !timing.ok()) {
        return timing;
    }
    if (!HasUsablePeriod(infoRate)) return Failure(kUnusableTiming, kInputRateError);
    if (!std::isfinite(s.offsetTime)) return Failure(kUnusableTiming, kOffsetError);
    return kOk;
}

int32_t Initialise(const SystemRecord& system, NodeInstance& instance, DecoderState& s) {
    const DecoderParams& p = *static_cast<const DecoderParams*>(instance.params);
    const PortRecord& input = *instance.inputs[0];

    CopyCodeDimensions(p, s);
    s.iterations = p.iterations;
    s.resolution = p.resolution;
    s.quantLimit = p.quantLimit;
    s.NUMX = p.NUMX;
    s.NUMY = p.NUMY;
    s.NUMZ = p.NUMZ;
    s.bpsk = p.bpsk;
    s.higherOrderMod = p.higherOrderMod;
    s.deinter = p.deinter != 0 ? 1 : 0;
    s.selectstp = p.selectstp != 0 ? 1 : 0;
    s.offsetTime = OffsetInSeconds(p.delay, p.inBits, input.rate);

    if (const Status parameters = CheckDecodingParameters(s); !parameters.ok()) {
        return ReportError(system, parameters);
    }
    const Status dimensions = CheckProductCode(ProductCodeOf(p));
    if (!dimensions.ok()) return ReportError(system, dimensions);

    s.blockSize = s.nx * s.ny * s.nz;
    s.infoSize = s.kx * s.ky * s.kz;
    s.planeSize = s.nx * s.ny;
    s.started = 0;
    s.anyStored = 0;

    // A record left from a run without a final call still holds buffers.
    ReleaseBuffers(s);
    const size_t n = static_cast<size_t>(s.blockSize);
    if (!AllocateBuffer(s.received, n) || !AllocateBuffer(s.channel, n) ||
        !AllocateBuffer(s.decisions, n) || !AllocateBuffer(s.extrinsicA, n) ||
        !AllocateBuffer(s.extrinsicB, n) ||
        !AllocateBuffer(s.infoBits, static_cast<size_t>(s.infoSize))) {
        return ReportError(system, Failure(kAllocationFailure, kBufferAllocationError));
    }

    PortRecord& blockOut = instance.outputs[0];
    PortRecord& infoOut = instance.outputs[1];
    infoOut.rate = input.rate * s.infoSize / s.blockSize;
    blockOut.rate = input.rate;
    blockOut.time = input.time;
    infoOut.time = input.time;
    CopyPortInfo(input, blockOut);
    CopyPortInfo(input, infoOut);

    s.fill = 0;
    s.blockOutIndex = 0;
    s.infoOutIndex = 0;
    s.blockOutCount = 0;
    s.infoOutCount = 0;
    s.blockPeriod = 1 / blockOut.rate;
    s.infoPeriod = 1 / infoOut.rate;
    const Status timing = CheckDecoderTiming(system, input.rate, infoOut.rate, s);
    return timing.ok() ? 0 : ReportError(system, timing);
}

void DecodeGatheredBlock(DecoderState& s) {
    if (s.bpsk != 0) {
        QuantizeBlock(s.resolution, s.quantLimit, s.deinter, s.received, s.channel, s.nx, s.ny,
                      s.kz, s.blockSize);
    } else {
        ConvertSoftBlock(s.deinter, s.received, s.channel, s.nx, s.ny, s.kz, s.blockSize);
    }
    const DecoderSettings settings{s.iterations, {s.NUMX, s.NUMY, s.NUMZ}, s.selectstp != 0};
    ProductDecoder decoder(ProductCodeOf(s), settings,
                           DecoderStores{s.extrinsicA, s.extrinsicB});
    SetDecoderPassCounter(1 + decoder.Decode(s.channel, s.decisions));
    for (int32_t z = 0; z < s.kz; ++z) {
        for (int32_t y = 0; y < s.ky; ++y) {
            const int32_t* row = s.decisions + s.planeSize * z + s.nx * y;
            int32_t* info = s.infoBits + s.kx * s.ky * z + s.kx * y;
            for (int32_t x = 0; x < s.kx; ++x) info[x] = row[x];
        }
    }
}

// Emits bits[index] on `port` once the stamp of its previous sample is reached.
void Emit(const SystemRecord& system, const PortRecord& input, PortRecord& port,
          const int32_t* bits, int32_t count, int32_t& index, double& emitted, double period) {
    if (TakesSample(port, system, index < count)) {
        EmitNext(port, bits[index], input, emitted, period);
        ++index;
    }
}

void Run(const SystemRecord& system, NodeInstance& instance, DecoderState& s) {
    const PortRecord& input = *instance.inputs[0];
    const bool offsetReached = TimeReached(s.offsetTime, system);

    if (offsetReached) s.started = 1;
    // Until the first value is stored, both outputs restart at their first bit.
    if (s.started != 0 && s.anyStored == 0) {
        s.blockOutIndex = 0;
        s.infoOutIndex = 0;
    }
    if (input.noSample == 0 && offsetReached) {
        s.received[s.fill] = input.value;
        ++s.fill;
        s.anyStored = 1;
    }
    if (input.noSample == 0 && s.fill == s.blockSize) {
        s.fill = 0;
        s.blockOutIndex = 0;
        s.infoOutIndex = 0;
        DecodeGatheredBlock(s);
    }
    Emit(system, input, instance.outputs[0], s.decisions, s.blockSize, s.blockOutIndex,
         s.blockOutCount, s.blockPeriod);
    Emit(system, input, instance.outputs[1], s.infoBits, s.infoSize, s.infoOutIndex,
         s.infoOutCount, s.infoPeriod);
}

constexpr NodePhases<DecoderState> kPhases{kAllocationFailure, Initialise, Run, ReleaseBuffers};

}  // namespace

}  // namespace tpc

extern "C" int32_t TPCDECODE(SystemRecord* system, NodeInstance* instance) {
    return tpc::DispatchNodeCall(*system, *instance, tpc::kPhases);
}
