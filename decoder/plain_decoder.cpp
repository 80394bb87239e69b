// The plain product decoder: every line gathered with its axis's stride,
// decoded by the component decoder, and scattered back as extrinsic values
// and decisions. The reference the fast paths are held to.
#include <cstdint>

#include "decoder/decode_paths.h"
#include "decoder/decoding_schedule.h"
#include "decoder/hamming_decoder.h"
#include "decoder/parity_decoder.h"

namespace tpc {

namespace {

constexpr int32_t kMaxLineLength = 256;

struct AxisDecoder {
    int32_t n;
    bool parityCode;  // n - k == 1; otherwise extended Hamming of length n
    int32_t weight;   // feedback weight in sixteenths
};

// Feedback is feedback[e] (+ feedbackExtra[e] when set); extrinsics go to target.
struct StoreWiring {
    const int32_t* feedback;
    const int32_t* feedbackExtra;  // null in two dimensions
    int32_t* target;
};

// Decodes one line; returns the component decoder's correctionMade flag.
uint8_t DecodeLine(const AxisDecoder& axis, int32_t first, int32_t stride,
                   const int32_t* channel, const StoreWiring& stores, int32_t* decisions) {
    int32_t input[kMaxLineLength];
    uint8_t bits[kMaxLineLength];
    int32_t reliability[kMaxLineLength];

    for (int32_t i = 0, e = first; i < axis.n; ++i, e += stride) {
        int32_t feedback = stores.feedback[e];
        if (stores.feedbackExtra != nullptr) feedback += stores.feedbackExtra[e];
        const int32_t r = RowInput(channel[e], feedback, axis.weight);
        input[i] = r;
        bits[i] = r > 0 ? 1 : 0;
        reliability[i] = r < 0 ? -r : r;
    }

    uint8_t decisionKept = 0;
    uint8_t correctionMade = 0;
    if (axis.parityCode) {
        DecodeParityWord(axis.n, bits, reliability, &decisionKept, &correctionMade);
    } else {
        DecodeHammingWord(axis.n, bits, reliability, &decisionKept, &correctionMade);
    }

    for (int32_t i = 0, e = first; i < axis.n; ++i, e += stride) {
        stores.target[e] = ExtrinsicValue(bits[i], reliability[i], input[i]);
        decisions[e] = bits[i];
    }
    return correctionMade;
}

// Decodes every line of a pass; returns its activity (OR of correctionMade).
uint8_t RunPass(const AxisDecoder& axis, const LineLayout& lines, const int32_t* channel,
                const StoreWiring& stores, int32_t* decisions) {
    uint8_t activity = 0;
    for (int32_t o = 0; o < lines.outerCount; ++o) {
        for (int32_t i = 0; i < lines.innerCount; ++i) {
            const int32_t first = o * lines.outerStep + i * lines.innerStep;
            activity |= DecodeLine(axis, first, lines.lineStride, channel, stores, decisions);
        }
    }
    return activity;
}

}  // namespace

int32_t ExtrinsicValue(uint8_t bit, int32_t reliability, int32_t rowInput) {
    const int32_t soft = bit != 0 ? reliability : -reliability;
    return soft - rowInput;
}

// Every pass, as the reference: no fixed-point exit.
struct PlainRunner {
    static constexpr bool kFixedPointExit = false;
    const DecodeJob& job;
    const AxisDecoder* axes;
    const LineLayout* lines;

    uint8_t RunPass(const PassPlan& plan) {
        // Every pass writes its decisions: the simplest account of what the
        // last pass decided.
        const StoreWiring stores =
            job.threeDimensional
                ? StoreWiring{job.extrinsicA, job.extrinsicB,
                              plan.writeA ? job.extrinsicA : job.extrinsicB}
                : StoreWiring{job.extrinsicA, nullptr, job.extrinsicA};
        return tpc::RunPass(axes[plan.axis], lines[plan.axis], job.channel, stores, job.decisions);
    }
};

DecodeOutcome DecodePlain(const DecodeJob& job) {
    const ProductCode& c = job.code;
    const AxisDecoder axes[3] = {{c.nx, c.nx - c.kx == 1, job.weights[0]},
                                 {c.ny, c.ny - c.ky == 1, job.weights[1]},
                                 {c.nz, c.nz - c.kz == 1, job.weights[2]}};
    ClipChannel(job.channel, job.threeDimensional ? c.N() : c.PlaneSize());
    LineLayout lines[3];
    PassLayouts(c, job.threeDimensional, lines);
    PlainRunner runner{job, axes, lines};
    const ScheduleOutcome outcome =
        RunDecodingSchedule(job.iterations, job.selectiveStop, job.threeDimensional, runner);
    return DecodeOutcome{outcome.passCounter, outcome.passesComputed};
}

}  // namespace tpc
