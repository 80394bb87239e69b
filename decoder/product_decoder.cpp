// Iterative product decoder (see product_decoder.h).
//
// Every pass, in either schedule, is the same walk: lines of one axis laid
// out as an outer and an inner loop over the other two axes, each line
// gathered with the axis stride, decoded, and scattered back as extrinsic
// values and decisions. Only the store wiring differs between 2D and 3D.
#include "decoder/product_decoder.h"

#include <algorithm>

#include "decoder/hamming_decoder.h"
#include "decoder/parity_decoder.h"
#include "decoder/word_steps.h"

namespace {

constexpr int32_t kChannelClip = 31;
constexpr int32_t kWeightDenominator = 16;
constexpr int32_t kMaxLineLength = 256;

// Reset by every call. Per thread: a library-wide counter would make two
// decoders on different threads race, and a single thread sees no difference.
thread_local int32_t passCounter = 1;

struct AxisDecoder {
    int32_t n;
    bool parityCode;  // n - k == 1; otherwise extended Hamming of length n
    int32_t weight;   // feedback weight in sixteenths
};

AxisDecoder AxisDecoderOf(int32_t n, int32_t k, int32_t weight) {
    return AxisDecoder{n, n - k == 1, weight};
}

// The lines of one pass: outerCount x innerCount lines, line (o, i) starting
// at o*outerStep + i*innerStep, its positions lineStride apart.
struct PassLayout {
    AxisDecoder axis;
    int32_t outerCount;
    int32_t outerStep;
    int32_t innerCount;
    int32_t innerStep;
    int32_t lineStride;
};

// Feedback is feedback[e] (+ feedbackExtra[e] when set); extrinsics go to target.
struct StoreWiring {
    const int32_t* feedback;
    const int32_t* feedbackExtra;  // null in two dimensions
    int32_t* target;
};

int32_t ClampMagnitude(int32_t value, int32_t limit) {
    return std::min(std::max(value, -limit), limit);
}

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
uint8_t RunPass(const PassLayout& pass, const int32_t* channel, const StoreWiring& stores,
                int32_t* decisions) {
    uint8_t activity = 0;
    for (int32_t o = 0; o < pass.outerCount; ++o) {
        for (int32_t i = 0; i < pass.innerCount; ++i) {
            const int32_t first = o * pass.outerStep + i * pass.innerStep;
            activity |= DecodeLine(pass.axis, first, pass.lineStride, channel, stores, decisions);
        }
    }
    return activity;
}

void ClipChannel(int32_t* channel, int32_t blockSize) {
    for (int32_t e = 0; e < blockSize; ++e) channel[e] = ClampMagnitude(channel[e], kChannelClip);
}

}  // namespace

int32_t RowInput(int32_t channelValue, int32_t feedbackSum, int32_t weight) {
    // Integer division truncates toward zero, as the weighting must.
    return ClampMagnitude(channelValue + feedbackSum * weight / kWeightDenominator, SoftLimit);
}

int32_t ExtrinsicValue(uint8_t bit, int32_t reliability, int32_t rowInput) {
    const int32_t soft = bit != 0 ? reliability : -reliability;
    return soft - rowInput;
}

void DecodeProductBlock2D(int32_t iterations, uint32_t selectstp, int32_t* channel,
                          int32_t* decisions, int32_t nx, int32_t kx, int32_t ny, int32_t ky,
                          int32_t /*nz*/, int32_t /*kz*/, int32_t blockSize, int32_t NUMX,
                          int32_t NUMY, int32_t /*NUMZ*/, int32_t planeSize,
                          int32_t* extrinsicA) {
    ClipChannel(channel, blockSize);
    std::fill(extrinsicA, extrinsicA + planeSize, 0);
    passCounter = 1;

    // X: one row per y; Y: one column per x. Both read and overwrite E.
    const PassLayout passX{AxisDecoderOf(nx, kx, NUMX), 1, 0, ny, nx, 1};
    const PassLayout passY{AxisDecoderOf(ny, ky, NUMY), 1, 0, nx, 1, nx};
    const StoreWiring stores{extrinsicA, nullptr, extrinsicA};
    const bool selectiveStop = selectstp != 0;

    uint8_t lastActivity = 1;
    for (;;) {
        if (passCounter > iterations) return;
        if (selectiveStop && lastActivity == 0) return;
        lastActivity = RunPass(passX, channel, stores, decisions);
        ++passCounter;
        if (selectiveStop && lastActivity == 0) return;
        lastActivity = RunPass(passY, channel, stores, decisions);
        ++passCounter;
    }
}

void DecodeProductBlock3D(int32_t iterations, uint32_t selectstp, int32_t* channel,
                          int32_t* decisions, int32_t nx, int32_t kx, int32_t ny, int32_t ky,
                          int32_t nz, int32_t kz, int32_t blockSize, int32_t NUMX, int32_t NUMY,
                          int32_t NUMZ, int32_t planeSize, int32_t* extrinsicA,
                          int32_t* extrinsicB) {
    ClipChannel(channel, blockSize);
    std::fill(extrinsicA, extrinsicA + blockSize, 0);
    std::fill(extrinsicB, extrinsicB + blockSize, 0);
    passCounter = 1;

    // X: z outer, y inner; Y: z outer, x inner; Z: y outer, x inner.
    const PassLayout passes[3] = {
        {AxisDecoderOf(nx, kx, NUMX), nz, planeSize, ny, nx, 1},
        {AxisDecoderOf(ny, ky, NUMY), nz, planeSize, nx, 1, nx},
        {AxisDecoderOf(nz, kz, NUMZ), ny, nx, nx, 1, planeSize},
    };
    const bool selectiveStop = selectstp != 0;

    // A + B always holds the extrinsics of the two passes before, which are
    // the other two axes; each pass overwrites the older of them.
    uint8_t lastActivity = 1;
    uint8_t earlierActivity = 1;
    bool writeA = true;
    while (passCounter <= iterations) {
        for (const PassLayout& pass : passes) {
            if (selectiveStop && lastActivity == 0 && earlierActivity == 0) return;
            earlierActivity = lastActivity;
            const StoreWiring stores{extrinsicA, extrinsicB, writeA ? extrinsicA : extrinsicB};
            lastActivity = RunPass(pass, channel, stores, decisions);
            writeA = !writeA;
            ++passCounter;
        }
    }
}

void DecodeProductBlockPlain(int32_t iterations, uint32_t selectstp, int32_t* channel,
                             int32_t* decisions, int32_t nx, int32_t kx, int32_t ny, int32_t ky,
                             int32_t nz, int32_t kz, int32_t blockSize, int32_t NUMX,
                             int32_t NUMY, int32_t NUMZ, int32_t planeSize, int32_t* extrinsicA,
                             int32_t* extrinsicB) {
    if (kz < 2) {
        DecodeProductBlock2D(iterations, selectstp, channel, decisions, nx, kx, ny, ky, nz, kz,
                             blockSize, NUMX, NUMY, NUMZ, planeSize, extrinsicA);
    } else {
        DecodeProductBlock3D(iterations, selectstp, channel, decisions, nx, kx, ny, ky, nz, kz,
                             blockSize, NUMX, NUMY, NUMZ, planeSize, extrinsicA, extrinsicB);
    }
}

int32_t DecoderPassCounter() { return passCounter; }

void SetDecoderPassCounter(int32_t value) { passCounter = value; }
