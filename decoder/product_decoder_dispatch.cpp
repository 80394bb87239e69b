// DecodeProductBlock and the choice of its implementation. The CPU is asked
// once, at the first call; after that every block costs one atomic load and
// an indirect call.
#include "decoder/product_decoder_dispatch.h"

#include <atomic>

#include "decoder/fast_product_decoder.h"
#include "decoder/product_decoder.h"

namespace {

// The SIMD paths exist only in x86 builds, and run only where the CPU says
// it has the instructions.
#if defined(TPC_FAST_DECODER_SSE2)
bool CpuHasSse2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("sse2");
}
ProductDecoderFunction Sse2Function() { return CpuHasSse2() ? &DecodeProductBlockSse2 : nullptr; }
RowInputsFunction Sse2RowInputs() { return CpuHasSse2() ? &RowInputsSse2 : nullptr; }
#else
ProductDecoderFunction Sse2Function() { return nullptr; }
RowInputsFunction Sse2RowInputs() { return nullptr; }
#endif

#if defined(TPC_FAST_DECODER_AVX2)
bool CpuHasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}
ProductDecoderFunction Avx2Function() { return CpuHasAvx2() ? &DecodeProductBlockAvx2 : nullptr; }
RowInputsFunction Avx2RowInputs() { return CpuHasAvx2() ? &RowInputsAvx2 : nullptr; }
#else
ProductDecoderFunction Avx2Function() { return nullptr; }
RowInputsFunction Avx2RowInputs() { return nullptr; }
#endif

std::atomic<int32_t>& PathInUse() {
    static std::atomic<int32_t> path{static_cast<int32_t>(FastestProductDecoderPath())};
    return path;
}

// Indexed by ProductDecoderPath; filled once, read-only after.
struct PathTable {
    ProductDecoderFunction function[4];
};

const PathTable& Paths() {
    static const PathTable table{
        {&DecodeProductBlockPlain, &DecodeProductBlockPortable, Sse2Function(), Avx2Function()}};
    return table;
}

bool Known(ProductDecoderPath path) {
    const int32_t index = static_cast<int32_t>(path);
    return index >= 0 && index < 4;
}

}  // namespace

RowInputsFunction RowInputsOf(ProductDecoderPath path) {
    switch (path) {
        case ProductDecoderPath::kPortable: return &RowInputsPortable;
        case ProductDecoderPath::kSse2: return Sse2RowInputs();
        case ProductDecoderPath::kAvx2: return Avx2RowInputs();
        default: return nullptr;
    }
}

ProductDecoderFunction ProductDecoderOf(ProductDecoderPath path) {
    return Known(path) ? Paths().function[static_cast<int32_t>(path)] : nullptr;
}

const char* ProductDecoderPathName(ProductDecoderPath path) {
    switch (path) {
        case ProductDecoderPath::kPlain: return "plain";
        case ProductDecoderPath::kPortable: return "portable";
        case ProductDecoderPath::kSse2: return "sse2";
        case ProductDecoderPath::kAvx2: return "avx2";
    }
    return "unknown";
}

ProductDecoderPath FastestProductDecoderPath() {
    if (ProductDecoderOf(ProductDecoderPath::kAvx2) != nullptr) return ProductDecoderPath::kAvx2;
    if (ProductDecoderOf(ProductDecoderPath::kSse2) != nullptr) return ProductDecoderPath::kSse2;
    return ProductDecoderPath::kPortable;
}

bool SetProductDecoderPath(ProductDecoderPath path) {
    if (ProductDecoderOf(path) == nullptr) return false;
    PathInUse().store(static_cast<int32_t>(path), std::memory_order_relaxed);
    return true;
}

ProductDecoderPath ProductDecoderPathInUse() {
    return static_cast<ProductDecoderPath>(PathInUse().load(std::memory_order_relaxed));
}

void DecodeProductBlock(int32_t iterations, uint32_t selectstp, int32_t* channel,
                        int32_t* decisions, int32_t nx, int32_t kx, int32_t ny, int32_t ky,
                        int32_t nz, int32_t kz, int32_t blockSize, int32_t NUMX, int32_t NUMY,
                        int32_t NUMZ, int32_t planeSize, int32_t* extrinsicA, int32_t* extrinsicB) {
    const ProductDecoderFunction decode =
        Paths().function[PathInUse().load(std::memory_order_relaxed)];
    decode(iterations, selectstp, channel, decisions, nx, kx, ny, ky, nz, kz, blockSize, NUMX, NUMY,
           NUMZ, planeSize, extrinsicA, extrinsicB);
}
