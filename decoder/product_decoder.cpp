// ProductDecoder: the prologue every path shares (zero the stores),
// the choice of path, and the function forms. The CPU is asked once, at the
// first use of a path; after that a block costs one indirect call.
#include "decoder/product_decoder.h"

#include <algorithm>

#include "decoder/decode_paths.h"
#include "decoder/decoding_schedule.h"

#if defined(TPC_FAST_DECODER_AVX2) || defined(TPC_FAST_DECODER_AVX512)
#include <cpuid.h>
#endif

namespace tpc {

namespace {

// Reset by every decoded block. Per thread: a library-wide counter would
// make decoders on different threads race, and one thread sees no difference.
thread_local int32_t passCounter = 1;

#if defined(TPC_FAST_DECODER_SSE2)
bool CpuHasSse2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("sse2");
}
#endif

#if defined(TPC_FAST_DECODER_AVX2) || defined(TPC_FAST_DECODER_AVX512)
// The CPU's feature bits are not enough for the wide paths: the operating
// system must also save their registers on a context switch, which it says
// in XCR0. Asked here rather than trusted to the compiler's runtime, whose
// check of it is nowhere promised.
constexpr uint32_t kXcr0Sse = 1u << 1;
constexpr uint32_t kXcr0Ymm = 1u << 2;
constexpr uint32_t kXcr0Opmask = 1u << 5;
constexpr uint32_t kXcr0ZmmUpperHalves = 1u << 6;
constexpr uint32_t kXcr0UpperZmm = 1u << 7;

bool OsSavesState(uint32_t xcr0Bits) {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx) || (ecx & bit_OSXSAVE) == 0) return false;
    uint32_t xcr0 = 0, xcr0High = 0;
    __asm__("xgetbv" : "=a"(xcr0), "=d"(xcr0High) : "c"(0));
    return (xcr0 & xcr0Bits) == xcr0Bits;
}
#endif
#if defined(TPC_FAST_DECODER_AVX2)
bool CpuHasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && OsSavesState(kXcr0Sse | kXcr0Ymm);
}
#endif
#if defined(TPC_FAST_DECODER_AVX512)
bool CpuHasAvx512() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512bw") &&
           OsSavesState(kXcr0Sse | kXcr0Ymm | kXcr0Opmask | kXcr0ZmmUpperHalves | kXcr0UpperZmm);
}
#endif

// Indexed by ProductDecoderPath; filled once, read-only after.
constexpr int32_t kPathCount = 5;
struct PathTable {
    PathDecoder decode[kPathCount];
    RowInputsFunction rowInputs[kPathCount];
};

const PathTable& Paths() {
    static const PathTable table = [] {
        PathTable t{{&DecodePlain, &DecodePortable, nullptr, nullptr, nullptr},
                    {nullptr, &RowInputsPortable, nullptr, nullptr, nullptr}};
#if defined(TPC_FAST_DECODER_SSE2)
        if (CpuHasSse2()) t.decode[2] = &DecodeSse2, t.rowInputs[2] = &RowInputsSse2;
#endif
#if defined(TPC_FAST_DECODER_AVX2)
        if (CpuHasAvx2()) t.decode[3] = &DecodeAvx2, t.rowInputs[3] = &RowInputsAvx2;
#endif
#if defined(TPC_FAST_DECODER_AVX512)
        if (CpuHasAvx512()) t.decode[4] = &DecodeAvx512, t.rowInputs[4] = &RowInputsAvx512;
#endif
        return t;
    }();
    return table;
}

// A path's place in the table; kFastest, without a code to choose for, is
// the widest path this CPU runs.
int32_t IndexOf(ProductDecoderPath path) {
    if (path == ProductDecoderPath::kFastest) {
        for (int32_t widest = kPathCount - 1;; --widest) {
            if (Paths().decode[widest] != nullptr) return widest;
        }
    }
    const int32_t index = static_cast<int32_t>(path);
    return index >= 0 && index < kPathCount ? index : -1;
}

}  // namespace

PathDecoder PathDecoderOf(ProductDecoderPath path) {
    const int32_t index = IndexOf(path);
    return index < 0 ? nullptr : Paths().decode[index];
}

RowInputsFunction RowInputsOf(ProductDecoderPath path) {
    const int32_t index = IndexOf(path);
    return index < 0 ? nullptr : Paths().rowInputs[index];
}

const char* ProductDecoderPathName(ProductDecoderPath path) {
    switch (path) {
        case ProductDecoderPath::kPlain: return "plain";
        case ProductDecoderPath::kPortable: return "portable";
        case ProductDecoderPath::kSse2: return "sse2";
        case ProductDecoderPath::kAvx2: return "avx2";
        case ProductDecoderPath::kAvx512: return "avx512";
        case ProductDecoderPath::kFastest: return "fastest";
    }
    return "unknown";
}

bool ProductDecoderPathAvailable(ProductDecoderPath path) { return PathDecoderOf(path) != nullptr; }

ProductDecoderPath FastestProductDecoderPath(const ProductCode& code) {
    constexpr int32_t kWidestGroup = 32;
    const bool wideGroups = code.nx >= kWidestGroup && code.ny >= kWidestGroup;
    if (Paths().decode[4] != nullptr && wideGroups) return ProductDecoderPath::kAvx512;
    if (Paths().decode[3] != nullptr) return ProductDecoderPath::kAvx2;
    if (Paths().decode[2] != nullptr) return ProductDecoderPath::kSse2;
    return ProductDecoderPath::kPortable;
}

ProductDecoder::ProductDecoder(const ProductCode& code, const DecoderSettings& settings)
    : ProductDecoder(code, settings, DecoderStores{nullptr, nullptr}) {
    const size_t n = static_cast<size_t>(code.N());
    ownedStores_.assign(2 * n, 0);
    stores_ = DecoderStores{ownedStores_.data(), ownedStores_.data() + n};
}

ProductDecoder::ProductDecoder(const ProductCode& code, const DecoderSettings& settings,
                               DecoderStores stores)
    : code_(code), settings_(settings), stores_(stores) {
    if (!ProductDecoderPathAvailable(settings_.path)) settings_.path = ProductDecoderPath::kFastest;
    if (settings_.path == ProductDecoderPath::kFastest) {
        settings_.path = FastestProductDecoderPath(code_);
    }
}

int32_t ProductDecoder::Decode(int32_t* channel, int32_t* decisions) {
    const bool threeD = code_.ThreeDimensional();
    const int32_t stored = threeD ? code_.N() : code_.PlaneSize();
    std::fill(stores_.extrinsicA, stores_.extrinsicA + stored, 0);
    if (threeD) std::fill(stores_.extrinsicB, stores_.extrinsicB + stored, 0);
    passesComputed_ = 0;
    if (settings_.iterations < 1) {
        ClipChannel(channel, code_.N());
        return 0;
    }
    // The path clips the decoded part as it starts (the lane paths while
    // narrowing it, saving a pass over the block).
    ClipChannel(channel + stored, code_.N() - stored);

    const DecodeJob job{code_,
                        settings_.iterations,
                        settings_.selectiveStop,
                        threeD,
                        {settings_.weights[0], settings_.weights[1], settings_.weights[2]},
                        channel,
                        decisions,
                        stores_.extrinsicA,
                        stores_.extrinsicB};
    const DecodeOutcome outcome = Paths().decode[static_cast<int32_t>(settings_.path)](job);
    passesComputed_ = outcome.passesComputed;
    return outcome.passCounter - 1;
}

void DecodeProductBlock(int32_t iterations, uint32_t selectstp, int32_t* channel,
                        int32_t* decisions, int32_t nx, int32_t kx, int32_t ny, int32_t ky,
                        int32_t nz, int32_t kz, int32_t /*blockSize*/, int32_t NUMX, int32_t NUMY,
                        int32_t NUMZ, int32_t /*planeSize*/, int32_t* extrinsicA,
                        int32_t* extrinsicB) {
    const DecoderSettings settings{iterations, {NUMX, NUMY, NUMZ}, selectstp != 0};
    ProductDecoder decoder(ProductCode{nx, kx, ny, ky, nz, kz}, settings,
                           DecoderStores{extrinsicA, extrinsicB});
    passCounter = 1 + decoder.Decode(channel, decisions);
}

int32_t DecoderPassCounter() { return passCounter; }

void SetDecoderPassCounter(int32_t value) { passCounter = value; }

}  // namespace tpc
