// The fast product decoders against the plain one, which is the reference:
// every buffer after the call (decisions, clipped channel, both stores) and
// the pass counter must be equal, for every fast path this CPU can run, on
// random blocks of every geometry class. Then the dispatcher's choice and
// forcing of paths.
#include "decoder/fast_product_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <limits>
#include <ostream>
#include <random>
#include <vector>

#include "component_word_support.h"
#include "decoder/product_decoder.h"
#include "decoder/product_decoder_dispatch.h"
#include "encoder/product_encoder.h"

namespace {

using component_test::TestSeed;

struct Geometry {
    int32_t nx, ny, nz, kx, ky, kz;
    int32_t maxIterations;  // keeps the large blocks quick under sanitizers

    int32_t N() const { return nx * ny * nz; }
    int32_t K() const { return kx * ky * kz; }
};

std::ostream& operator<<(std::ostream& out, const Geometry& g) {
    return out << g.nx << "x" << g.ny << "x" << g.nz << " k=" << g.kx << "," << g.ky << "," << g.kz;
}

// Every Hamming length on some axis, parity axes short and long, mixed axes,
// a 2D block inside a 3D buffer, and line counts that leave part of a group
// of 8 or 16 lanes empty.
const Geometry kGeometries[] = {
    {8, 8, 1, 4, 4, 1, 20},     {16, 16, 1, 11, 11, 1, 20},  {32, 32, 1, 26, 26, 1, 12},
    {64, 64, 1, 57, 57, 1, 9},  {128, 16, 1, 120, 11, 1, 9}, {16, 128, 1, 11, 120, 1, 9},
    {256, 8, 1, 247, 4, 1, 6},  {8, 256, 1, 4, 247, 1, 6},   {2, 2, 1, 1, 1, 1, 20},
    {7, 5, 1, 6, 4, 1, 20},     {248, 3, 1, 247, 2, 1, 8},   {3, 256, 1, 2, 255, 1, 8},
    {17, 64, 1, 16, 57, 1, 9},  {64, 24, 1, 57, 23, 1, 9},   {8, 40, 1, 4, 39, 1, 12},
    {16, 16, 4, 11, 11, 1, 12}, {8, 8, 8, 4, 4, 4, 12},      {16, 16, 16, 11, 11, 11, 7},
    {8, 16, 32, 4, 11, 26, 7},  {5, 8, 3, 4, 4, 2, 12},      {16, 4, 256, 11, 3, 255, 5},
    {32, 3, 8, 26, 2, 4, 8},    {2, 256, 2, 1, 247, 1, 5},   {4, 4, 256, 3, 3, 247, 4},
};

enum ChannelKind {
    kNoisyCodeword,  // a code block sent through noise: decoding converges
    kUniform,        // values over the clipping edges
    kTies,           // -2 ... 2: many equal reliabilities and pair scores
    kExtreme,        // INT32_MIN, INT32_MAX, 0 and clip-edge values
    kCleanCodeword,  // +-31 on a code block: feedback saturates at SoftLimit
};
const char* const kKindNames[] = {"noisy codeword", "uniform", "ties", "extreme", "clean codeword"};

std::vector<int32_t> MakeChannel(const Geometry& g, ChannelKind kind, std::mt19937& rng) {
    std::vector<int32_t> channel(g.N());
    if (kind == kNoisyCodeword || kind == kCleanCodeword) {
        std::vector<double> info(g.K());
        for (double& bit : info) bit = static_cast<double>(rng() & 1u);
        std::vector<int32_t> out(g.N()), grid(g.N()), block(g.N(), 0), word(256), parity(16);
        EncodeProductBlock(0, info.data(), out.data(), grid.data(), block.data(), word.data(),
                           parity.data(), g.nx, g.ny, g.nz, g.kx, g.ky, g.kz, g.N());
        std::normal_distribution<double> noise(0.0, 14.0);
        for (int32_t e = 0; e < g.N(); ++e) {
            const int32_t sent = block[e] ? 16 : -16;
            channel[e] = kind == kCleanCodeword ? 2 * sent - (sent > 0 ? 1 : -1)
                                                : sent + static_cast<int32_t>(noise(rng));
        }
    } else if (kind == kExtreme) {
        const int32_t pool[] = {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(),
                                0, 31, -31, 32, -32, 1, -1};
        for (int32_t& v : channel) v = pool[rng() % std::size(pool)];
    } else {
        const int32_t span = kind == kTies ? 2 : 45;
        std::uniform_int_distribution<int32_t> value(-span, span);
        for (int32_t& v : channel) v = value(rng);
    }
    return channel;
}

// Everything a decode reads and writes, prefilled with junk that both paths
// must treat alike (stores are zeroed, decisions of undecoded elements kept).
struct Buffers {
    std::vector<int32_t> channel, decisions, a, b;
    int32_t passCounter = 0;
};

Buffers MakeBuffers(const Geometry& g, std::vector<int32_t> channel, std::mt19937& rng) {
    std::uniform_int_distribution<int32_t> junk(-30000, 30000);
    Buffers buffers{std::move(channel), std::vector<int32_t>(g.N()), std::vector<int32_t>(g.N()),
                    std::vector<int32_t>(g.N()), 0};
    for (int32_t& v : buffers.decisions) v = junk(rng) & 7;
    for (int32_t& v : buffers.a) v = junk(rng);
    for (int32_t& v : buffers.b) v = junk(rng);
    return buffers;
}

struct Call {
    int32_t iterations;
    uint32_t selectstp;
    int32_t numx, numy, numz;
};

std::ostream& operator<<(std::ostream& out, const Call& c) {
    return out << "iterations " << c.iterations << " selectstp " << c.selectstp << " weights "
               << c.numx << "," << c.numy << "," << c.numz;
}

void RunDecode(ProductDecoderFunction decode, const Geometry& g, const Call& c, Buffers& buffers) {
    SetDecoderPassCounter(-12345);
    decode(c.iterations, c.selectstp, buffers.channel.data(), buffers.decisions.data(), g.nx,
           g.kx, g.ny, g.ky, g.nz, g.kz, g.N(), c.numx, c.numy, c.numz, g.nx * g.ny,
           buffers.a.data(), buffers.b.data());
    buffers.passCounter = DecoderPassCounter();
}

// Reports the first differing index of each buffer, not whole buffers.
void ExpectSameResult(const Buffers& plain, const Buffers& fast) {
    const auto firstDifference = [](const std::vector<int32_t>& x, const std::vector<int32_t>& y) {
        return std::mismatch(x.begin(), x.end(), y.begin()).first - x.begin();
    };
    const auto size = static_cast<std::ptrdiff_t>(plain.channel.size());
    EXPECT_EQ(firstDifference(plain.decisions, fast.decisions), size) << "decisions";
    EXPECT_EQ(firstDifference(plain.channel, fast.channel), size) << "channel";
    EXPECT_EQ(firstDifference(plain.a, fast.a), size) << "store A";
    EXPECT_EQ(firstDifference(plain.b, fast.b), size) << "store B";
    EXPECT_EQ(plain.passCounter, fast.passCounter) << "pass counter";
}

std::vector<ProductDecoderPath> FastPathsOfThisCpu() {
    std::vector<ProductDecoderPath> paths;
    for (ProductDecoderPath path : {ProductDecoderPath::kPortable, ProductDecoderPath::kSse2,
                                    ProductDecoderPath::kAvx2}) {
        if (ProductDecoderOf(path) != nullptr) paths.push_back(path);
    }
    return paths;
}

// Compares one fast path with the plain one on a fresh random case; returns
// false after the first mismatching case so that a fault reports once.
bool CompareOnce(ProductDecoderPath path, const Geometry& g, ChannelKind kind, const Call& call,
                 uint32_t seed) {
    std::mt19937 rng(seed);
    const Buffers input = MakeBuffers(g, MakeChannel(g, kind, rng), rng);
    Buffers plain = input;
    Buffers fast = input;
    RunDecode(&DecodeProductBlockPlain, g, call, plain);
    RunDecode(ProductDecoderOf(path), g, call, fast);
    SCOPED_TRACE(testing::Message() << ProductDecoderPathName(path) << " " << g << " "
                                    << kKindNames[kind] << " " << call << " seed " << seed);
    ExpectSameResult(plain, fast);
    return !testing::Test::HasFailure();
}

// Odd and even pass counts, selective stop off and on, the largest weights,
// and counts at which no pass runs (the channel is still clipped, the stores
// zeroed, the decisions kept and the counter reads 1).
TEST(FastProductDecoder, EqualsPlainOnEveryGeometryClass) {
    const uint32_t baseSeed = TestSeed(4417u);
    const int32_t noPass[] = {0, -1, std::numeric_limits<int32_t>::min()};
    for (ProductDecoderPath path : FastPathsOfThisCpu()) {
        uint32_t seed = baseSeed;
        for (const Geometry& g : kGeometries) {
            for (ChannelKind kind : {kNoisyCodeword, kUniform, kTies, kExtreme, kCleanCodeword}) {
                std::mt19937 pick(seed);
                std::uniform_int_distribution<int32_t> weight(1, 16);
                std::uniform_int_distribution<int32_t> iterations(1, g.maxIterations);
                const uint32_t stop = pick() & 1u;
                const Call calls[] = {
                    {iterations(pick) | 1, 0, weight(pick), weight(pick), weight(pick)},
                    {(iterations(pick) + 1) & ~1, 1, weight(pick), weight(pick), weight(pick)},
                    {g.maxIterations, stop, 16, 16, 16},
                    {noPass[pick() % 3], stop, weight(pick), weight(pick), weight(pick)},
                };
                for (const Call& call : calls) {
                    if (!CompareOnce(path, g, kind, call, seed++)) return;
                }
            }
        }
    }
}

// Many small blocks: the cheapest way to meet rare tie patterns.
TEST(FastProductDecoder, EqualsPlainOnManySmallBlocks) {
    const Geometry geometries[] = {{8, 8, 1, 4, 4, 1, 6}, {16, 8, 1, 11, 4, 1, 6},
                                   {8, 8, 2, 4, 4, 1, 6}, {4, 8, 8, 3, 4, 4, 6}};
    uint32_t seed = TestSeed(123456u);
    for (ProductDecoderPath path : FastPathsOfThisCpu()) {
        for (int32_t trial = 0; trial < 150; ++trial) {
            for (const Geometry& g : geometries) {
                std::mt19937 pick(seed);
                std::uniform_int_distribution<int32_t> weight(1, 16);
                std::uniform_int_distribution<int32_t> iterations(1, g.maxIterations);
                const Call call{iterations(pick), static_cast<uint32_t>(pick() & 1u), weight(pick),
                                weight(pick), weight(pick)};
                const ChannelKind kinds[] = {kTies, kNoisyCodeword, kUniform};
                if (!CompareOnce(path, g, kinds[trial % 3], call, seed++)) return;
            }
        }
    }
}

// The weighted feedback of every path's lanes against RowInput, for every
// weight: every store value a two-dimensional pass can read (|E| <= 20450),
// and in three dimensions sums A + B up to 40900, beyond 16 bits, which full
// blocks rarely reach.
TEST(FastRowInputs, EqualPlainRowInputOverTheWholeStoreRange) {
    constexpr int32_t kStoreLimit = 20450;
    const int16_t channels[16] = {-31, 31, 0, -1, 1, 30, -30, 31, -31, 0, 5, -5, 31, -31, 2, -2};
    const int16_t edges[] = {0,     1,     15,    16,    17,    255,   256,    4089,  4090,
                             4091,  8180,  16360, 16383, 16384, 20000, 20449,  20450, -1,
                             -15,   -16,   -17,   -4090, -8180, -16360, -16384, -20449, -20450};
    for (ProductDecoderPath path : FastPathsOfThisCpu()) {
        const RowInputsFunction rowInputs = RowInputsOf(path);
        ASSERT_NE(rowInputs, nullptr) << ProductDecoderPathName(path);
        int16_t a[16], b[16], out[16];
        for (int16_t weight = 1; weight <= 16; ++weight) {
            for (int32_t first = -kStoreLimit; first <= kStoreLimit; first += 16) {
                for (int32_t l = 0; l < 16; ++l) a[l] = static_cast<int16_t>(std::min(first + l, kStoreLimit));
                rowInputs(channels, a, nullptr, weight, out);
                for (int32_t l = 0; l < 16; ++l) {
                    ASSERT_EQ(out[l], RowInput(channels[l], a[l], weight))
                        << ProductDecoderPathName(path) << " 2D E " << a[l] << " weight " << weight
                        << " channel " << channels[l];
                }
            }
            for (int16_t edgeA : edges) {
                for (size_t j = 0; j < std::size(edges); j += 16) {
                    for (int32_t l = 0; l < 16; ++l) {
                        a[l] = edgeA;
                        b[l] = edges[(j + static_cast<size_t>(l)) % std::size(edges)];
                    }
                    rowInputs(channels, a, b, weight, out);
                    for (int32_t l = 0; l < 16; ++l) {
                        ASSERT_EQ(out[l], RowInput(channels[l], a[l] + b[l], weight))
                            << ProductDecoderPathName(path) << " 3D A " << a[l] << " B " << b[l]
                            << " weight " << weight << " channel " << channels[l];
                    }
                }
            }
        }
    }
}

TEST(ProductDecoderDispatch, ChoosesAnAvailablePathAndCanBeForced) {
    const ProductDecoderPath fastest = FastestProductDecoderPath();
    ASSERT_NE(ProductDecoderOf(fastest), nullptr);
    EXPECT_NE(fastest, ProductDecoderPath::kPlain);
    ASSERT_NE(ProductDecoderOf(ProductDecoderPath::kPlain), nullptr);
    ASSERT_NE(ProductDecoderOf(ProductDecoderPath::kPortable), nullptr);
#if !defined(TPC_FAST_DECODER_AVX2)
    EXPECT_EQ(ProductDecoderOf(ProductDecoderPath::kAvx2), nullptr);
#endif
    EXPECT_EQ(ProductDecoderOf(static_cast<ProductDecoderPath>(9)), nullptr);
    EXPECT_FALSE(SetProductDecoderPath(static_cast<ProductDecoderPath>(9)));

    const ProductDecoderPath before = ProductDecoderPathInUse();
    const Geometry g{16, 16, 1, 11, 11, 1, 5};
    const Call call{5, 0, 7, 7, 7};
    std::mt19937 rng(TestSeed(5u));
    const Buffers input = MakeBuffers(g, MakeChannel(g, kNoisyCodeword, rng), rng);
    Buffers plain = input;
    RunDecode(&DecodeProductBlockPlain, g, call, plain);

    std::vector<ProductDecoderPath> paths = FastPathsOfThisCpu();
    paths.push_back(ProductDecoderPath::kPlain);
    for (ProductDecoderPath path : paths) {
        SCOPED_TRACE(ProductDecoderPathName(path));
        ASSERT_TRUE(SetProductDecoderPath(path));
        EXPECT_EQ(ProductDecoderPathInUse(), path);
        Buffers viaDispatch = input;
        RunDecode(&DecodeProductBlock, g, call, viaDispatch);
        ExpectSameResult(plain, viaDispatch);
    }
    for (ProductDecoderPath path : {ProductDecoderPath::kSse2, ProductDecoderPath::kAvx2}) {
        if (ProductDecoderOf(path) == nullptr) {
            EXPECT_FALSE(SetProductDecoderPath(path));
            EXPECT_EQ(ProductDecoderPathInUse(), ProductDecoderPath::kPlain);
        }
    }
    EXPECT_TRUE(SetProductDecoderPath(before));
}

}  // namespace
