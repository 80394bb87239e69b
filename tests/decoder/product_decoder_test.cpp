// Iterative product decoder: the plain decoder against a reference written line by line from
// the two schedules; every fast path this CPU runs against the plain decoder, every buffer and
// the pass counter compared; the fast row inputs; literal pass counts; round trips.
#include "decoder/product_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <iterator>
#include <limits>
#include <ostream>
#include <random>
#include <thread>
#include <vector>

#include "decoder/parity_decoder.h"
#include "decoder/decode_paths.h"
#include "decoder/decoding_schedule.h"
#include "decoder/word_steps.h"
#include "encoder/product_encoder.h"
#include "hamming_reference.h"
#include "trial_count.h"

using namespace tpc;

namespace {

struct Geometry : ProductCode {
    int32_t maxIterations;  // keeps the large blocks quick under sanitizers and emulation
    int32_t Plane() const { return PlaneSize(); }
    bool ThreeD() const { return ThreeDimensional(); }
};

std::ostream& operator<<(std::ostream& out, const Geometry& g) {
    return out << g.nx << "x" << g.ny << "x" << g.nz << " k=" << g.kx << "," << g.ky << "," << g.kz;
}

// Every Hamming length on some axis, parity axes short and long (248, whose k would name the 256 Hamming code), mixed
// axes, a 2D block inside a 3D buffer, and line counts that leave part of a group of 8 or 16 lanes empty.
const Geometry kGeometries[] = {
    {{8, 4, 8, 4, 1, 1}, 20},    {{16, 11, 16, 11, 1, 1}, 20}, {{32, 26, 32, 26, 1, 1}, 12}, {{64, 57, 64, 57, 1, 1}, 9},
    {{128, 120, 16, 11, 1, 1}, 9}, {{16, 11, 128, 120, 1, 1}, 9}, {{256, 247, 8, 4, 1, 1}, 6}, {{8, 4, 256, 247, 1, 1}, 6},
    {{2, 1, 2, 1, 1, 1}, 20},    {{7, 6, 5, 4, 1, 1}, 20},     {{248, 247, 3, 2, 1, 1}, 8},  {{3, 2, 256, 255, 1, 1}, 8},
    {{17, 16, 64, 57, 1, 1}, 9}, {{64, 57, 24, 23, 1, 1}, 9},  {{8, 4, 40, 39, 1, 1}, 12},   {{16, 11, 16, 11, 4, 1}, 12},
    {{8, 4, 8, 4, 8, 4}, 12},    {{16, 11, 16, 11, 16, 11}, 7}, {{8, 4, 16, 11, 32, 26}, 7}, {{5, 4, 8, 4, 3, 2}, 12},
    {{16, 11, 4, 3, 256, 255}, 5}, {{32, 26, 3, 2, 8, 4}, 8},  {{2, 1, 256, 247, 2, 1}, 5},  {{4, 3, 4, 3, 256, 247}, 4},
};

// A noisy code block converges; uniform values cross the clipping edges; -2 ... 2 make many equal reliabilities and
// pair scores; the extremes of int32_t meet the clip; a clean block at +-31 saturates the feedback.
enum ChannelKind { kNoisyCodeword, kUniform, kTies, kExtreme, kCleanCodeword };
const char* const kKindNames[] = {"noisy codeword", "uniform", "ties", "extreme", "clean codeword"};

std::vector<int32_t> EncodeRandom(const Geometry& g, std::mt19937& rng) {
    std::vector<double> info(g.kx * g.ky * g.kz);
    for (double& bit : info) bit = static_cast<double>(rng() & 1u);
    std::vector<int32_t> block(g.N());
    ProductEncoder(g, false).Encode(info.data(), block.data());
    return block;
}

// Everything a decode reads and writes. Code blocks are sent as +-16 plus noise; decisions
// and stores start as junk every decoder must treat alike (stores zeroed, others kept).
struct Buffers { std::vector<int32_t> channel, decisions, a, b; int32_t passCounter = 0; };

Buffers MakeBuffers(const Geometry& g, ChannelKind kind, std::mt19937& rng, std::vector<int32_t> sent = {},
                    double sigma = 14.0) {
    const int32_t pool[] = {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), 0, 31, -31,
                            32, -32, 1, -1};
    std::uniform_int_distribution<int32_t> value(kind == kTies ? -2 : -45, kind == kTies ? 2 : 45), junk(-30000, 30000);
    std::normal_distribution<double> noise(0.0, sigma);
    if ((kind == kNoisyCodeword || kind == kCleanCodeword) && sent.empty()) sent = EncodeRandom(g, rng);
    Buffers run{std::vector<int32_t>(g.N()), std::vector<int32_t>(g.N()), std::vector<int32_t>(g.N()),
                std::vector<int32_t>(g.N())};
    for (int32_t e = 0; e < g.N(); ++e) {
        const int32_t level = sent.empty() ? 0 : sent[e] ? 16 : -16;
        run.channel[e] = kind == kCleanCodeword   ? 2 * level - level / 16
                         : kind == kNoisyCodeword ? level + static_cast<int32_t>(noise(rng))
                         : kind == kExtreme       ? pool[rng() % std::size(pool)]
                                                  : value(rng);
        run.decisions[e] = junk(rng) & 7, run.a[e] = junk(rng), run.b[e] = junk(rng);
    }
    return run;
}

struct Call { int32_t iterations; uint32_t selectstp; int32_t weight[3]; };  // weights X, Y, Z in sixteenths

// How the lane paths' decodes ended: at a fixed point before the last pass, or computing every pass of a long run.
struct ExitTally { int32_t early = 0, full = 0; } gExits;

void RunDecode(ProductDecoderPath path, const Geometry& g, const Call& c, Buffers& buffers) {
    const DecoderSettings settings{c.iterations, {c.weight[0], c.weight[1], c.weight[2]}, c.selectstp != 0, path};
    ProductDecoder decoder(g, settings, DecoderStores{buffers.a.data(), buffers.b.data()});
    ASSERT_EQ(decoder.settings().path, path);
    const int32_t passes = decoder.Decode(buffers.channel.data(), buffers.decisions.data());
    buffers.passCounter = 1 + passes;
    if (path == ProductDecoderPath::kPlain) return;
    if (decoder.passesComputed() < passes) ++gExits.early;
    else if (passes >= 6) ++gExits.full;
}

// Each line: row input channel + (A [+ B]) * weight / 16 truncated toward zero and limited to +-SoftLimit, the
// component decision, and (signed output - row input) into the pass's store; lines of an axis in order of the other
// coordinates, the outer one first. 2D: X Y X Y ... on the first plane, one store A (its first plane zeroed).
// 3D: X Y Z X ... with A and B zeroed, each pass reading A + B and writing the older of the two. The counter starts
// at 1 and counts passes.
void ReferenceDecode(const Geometry& g, const Call& c, Buffers& run) {
    for (int32_t& v : run.channel) v = std::clamp(v, -31, 31);
    const int32_t length[3] = {g.nx, g.ny, g.nz}, info[3] = {g.kx, g.ky, g.kz}, planes = g.ThreeD() ? g.nz : 1;
    const bool stop = c.selectstp != 0;
    int32_t counter = 1;
    auto pass = [&](int axis, std::vector<int32_t>& target) {
        const int32_t n = length[axis];
        std::vector<int32_t> line(n), input(n), reliability(n);
        std::vector<uint8_t> bit(n);
        uint8_t activity = 0, corrected = 0, kept = 0;
        for (int32_t z = 0; z < (axis == 2 ? 1 : planes); ++z) {
            for (int32_t y = 0; y < (axis == 1 ? 1 : g.ny); ++y) {
                for (int32_t x = 0; x < (axis == 0 ? 1 : g.nx); ++x) {
                    for (int32_t i = 0; i < n; ++i) {
                        const int32_t e = line[i] = g.Plane() * (z + (axis == 2) * i) + g.nx * (y + (axis == 1) * i) +
                                                    x + (axis == 0) * i;
                        const int64_t f = (int64_t{run.a[e]} + (g.ThreeD() ? run.b[e] : 0)) * c.weight[axis];
                        const int64_t r = run.channel[e] + (f >= 0 ? f / 16 : -(-f / 16));
                        input[i] = static_cast<int32_t>(std::clamp<int64_t>(r, -SoftLimit, SoftLimit));
                        bit[i] = input[i] > 0;
                        reliability[i] = std::abs(input[i]);
                    }
                    if (n - info[axis] == 1) {  // its own test compares it with every parity codeword
                        DecodeParityWord(n, bit.data(), reliability.data(), &kept, &corrected);
                    } else {
                        const reference::SoftWord word = reference::DecodeHamming(n, bit, reliability);
                        bit = word.hard, reliability = word.soft, corrected = word.corrected;
                    }
                    activity |= corrected;
                    for (int32_t i = 0; i < n; ++i) {
                        target[line[i]] = (bit[i] ? reliability[i] : -reliability[i]) - input[i];
                        run.decisions[line[i]] = bit[i];
                    }
                }
            }
        }
        ++counter;
        return activity;
    };
    if (!g.ThreeD()) {
        std::fill(run.a.begin(), run.a.begin() + g.Plane(), 0);
        uint8_t activity = 1;
        while (counter <= c.iterations && !(stop && activity == 0)) {
            activity = pass(0, run.a);
            if (stop && activity == 0) break;
            activity = pass(1, run.a);
        }
    } else {
        std::fill(run.a.begin(), run.a.end(), 0);
        std::fill(run.b.begin(), run.b.end(), 0);
        uint8_t last = 1, before = 1;
        // The counter is checked only before each X pass: a round runs whole.
        for (int32_t passesRun = 0; passesRun % 3 != 0 || counter <= c.iterations; ++passesRun) {
            if (stop && last == 0 && before == 0) break;
            before = last;
            last = pass(passesRun % 3, passesRun % 2 == 0 ? run.a : run.b);
        }
    }
    run.passCounter = counter;
}

// Reports the first differing index of each buffer, not whole buffers.
void ExpectSameResult(const Buffers& expected, const Buffers& actual) {
    const char* names[] = {"decisions", "channel", "store A", "store B"};
    const std::vector<int32_t>* x[] = {&expected.decisions, &expected.channel, &expected.a, &expected.b};
    const std::vector<int32_t>* y[] = {&actual.decisions, &actual.channel, &actual.a, &actual.b};
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(*x[i] == *y[i]) << names[i] << " differ first at "
                                    << std::mismatch(x[i]->begin(), x[i]->end(), y[i]->begin()).first - x[i]->begin();
    EXPECT_EQ(expected.passCounter, actual.passCounter) << "pass counter";
}

// The lane paths this build and CPU run, named in the test's output with those it lacks.
std::vector<ProductDecoderPath> FastPathsOfThisCpu() {
    std::vector<ProductDecoderPath> paths;
    std::cout << "[ PATHS    ]";
    for (auto path : {ProductDecoderPath::kPortable, ProductDecoderPath::kSse2, ProductDecoderPath::kAvx2,
                      ProductDecoderPath::kAvx512}) {
        const bool available = ProductDecoderPathAvailable(path);
        if (available) paths.push_back(path);
        std::cout << " " << ProductDecoderPathName(path) << (available ? " runs;" : " not in this build or CPU;");
    }
    std::cout << "\n";
    return paths;
}

// Odd and even pass counts, selective stop off and on, the largest weights, and counts at which no pass runs (the
// channel is still clipped, the stores zeroed, the decisions kept and the counter reads 1).
std::vector<Call> CallsFor(const Geometry& g, uint32_t seed) {
    std::mt19937 pick(seed);
    std::uniform_int_distribution<int32_t> weight(1, 16), iterations(1, g.maxIterations);
    const uint32_t stop = pick() & 1u;
    const int32_t noPass[] = {0, -1, std::numeric_limits<int32_t>::min()};
    return {{iterations(pick) | 1, 0, {weight(pick), weight(pick), weight(pick)}},
            {(iterations(pick) + 1) & ~1, 1, {weight(pick), weight(pick), weight(pick)}},
            {g.maxIterations, stop, {16, 16, 16}},
            {noPass[pick() % 3], stop, {weight(pick), weight(pick), weight(pick)}}};
}

// One fresh random case; false on a mismatch, so that the callers stop and a fault reports once.
template <typename Expected>
bool CompareOnce(ProductDecoderPath decode, const char* name, Expected expectedDecode, const Geometry& g,
                 ChannelKind kind, const Call& call, uint32_t seed) {
    std::mt19937 rng(seed);
    const Buffers input = MakeBuffers(g, kind, rng);
    Buffers expected = input, actual = input;
    expectedDecode(g, call, expected);
    RunDecode(decode, g, call, actual);
    SCOPED_TRACE(testing::Message() << name << " " << g << " " << kKindNames[kind] << " iterations " << call.iterations
                                    << " selectstp " << call.selectstp << " weights " << call.weight[0] << ","
                                    << call.weight[1] << "," << call.weight[2] << " seed " << seed);
    ExpectSameResult(expected, actual);
    return !testing::Test::HasFailure();
}

// Every geometry and channel kind with all calls of CallsFor natively, one in turn emulated.
template <typename Expected>
bool Sweep(ProductDecoderPath decode, const char* name, Expected expected, uint32_t seed) {
    int32_t turn = 0;
    for (const Geometry& g : kGeometries) {
        for (ChannelKind kind : {kNoisyCodeword, kUniform, kTies, kExtreme, kCleanCodeword}) {
            const std::vector<Call> calls = CallsFor(g, seed);
            for (int32_t i = 0; i < RandomTrials(4); ++i, ++seed)
                if (!CompareOnce(decode, name, expected, g, kind, calls[(turn + i) % 4], seed)) return false;
            ++turn;
        }
    }
    return true;
}

TEST(ProductDecoder, PlainEqualsReferenceOnEveryGeometryClass) {
    Sweep(ProductDecoderPath::kPlain, "plain", ReferenceDecode, TestSeed(106u));
}

// Every fast path against the plain decoder on every geometry class, then on many small blocks: the cheapest way to
// meet rare tie patterns. Blocks settle at a fixed point early (clean), late (noisy) or never (ties, extremes); the
// lane paths must have stopped at a fixed point and also run long decodes to the end.
TEST(FastProductDecoder, EqualsPlain) {
    const auto plain = [](const Geometry& g, const Call& c, Buffers& b) {
        RunDecode(ProductDecoderPath::kPlain, g, c, b);
    };
    const Geometry small[] = {{{8, 4, 8, 4, 1, 1}, 6}, {{16, 11, 8, 4, 1, 1}, 6}, {{8, 4, 8, 4, 2, 1}, 6},
                              {{4, 3, 8, 4, 8, 4}, 6}};
    for (ProductDecoderPath path : FastPathsOfThisCpu()) {
        const char* name = ProductDecoderPathName(path);
        gExits = ExitTally{};
        uint32_t seed = TestSeed(4417u);
        bool same = Sweep(path, name, plain, seed);
        seed += 1000;
        for (int32_t trial = 0; same && trial < RandomTrials(150); ++trial) {
            for (const Geometry& g : small) {
                const Call call = CallsFor(g, seed)[trial % 2];
                same = same && CompareOnce(path, name, plain, g, ChannelKind(trial % 3), call, seed++);
            }
        }
        EXPECT_GT(gExits.early, 0) << name << ": no decode stopped at a fixed point";
        EXPECT_GT(gExits.full, 0) << name << ": every long decode stopped early";
    }
}

// The weighted feedback of every path's lanes against RowInput, for every weight and every store value a pass can
// read (|E| <= 20450), alone (2D) and in sums A + B up to 40900 (3D), beyond 16 bits, which full blocks rarely reach.
TEST(FastRowInputs, EqualPlainRowInputOverTheWholeStoreRange) {
    constexpr int32_t kStoreLimit = 20450;
    constexpr int32_t kSpan = kRowInputsSpan;
    const int16_t channels[kSpan] = {-31, 31, 0, -1, 1, 30, -30, 31, -31, 0, 5, -5, 31, -31, 2, -2,
                                     7, -7, 31, 0, -31, 16, -16, 1, -1, 30, -30, 3, -3, 31, -31, 0};
    const int16_t edges[] = {0, 1, 15, 16, 17, 255, 256, 4089, 4090, 4091, 8180, 16360, 16383, 16384, 20000, 20449,
                             20450, -1, -15, -16, -17, -4090, -8180, -16360, -16384, -20449, -20450};
    for (ProductDecoderPath path : FastPathsOfThisCpu()) {
        const RowInputsFunction rowInputs = RowInputsOf(path);
        ASSERT_NE(rowInputs, nullptr) << ProductDecoderPathName(path);
        int16_t a[kSpan], b[kSpan], out[kSpan];
        for (int16_t weight = 1; weight <= 16; ++weight) {
            for (int32_t first = -kStoreLimit, turn = 0; first <= kStoreLimit; first += kSpan, ++turn) {
                for (int32_t l = 0; l < kSpan; ++l) {
                    a[l] = static_cast<int16_t>(std::min(first + l, kStoreLimit));
                    b[l] = edges[(turn + l) % std::size(edges)];
                }
                for (const int16_t* second : {static_cast<const int16_t*>(nullptr), static_cast<const int16_t*>(b)}) {
                    rowInputs(channels, a, second, weight, out);
                    for (int32_t l = 0; l < kSpan; ++l)
                        ASSERT_EQ(out[l], RowInput(channels[l], a[l] + (second ? b[l] : 0), weight))
                            << ProductDecoderPathName(path) << " weight " << weight << " A " << a[l] << " B "
                            << (second ? b[l] : 0) << " lane " << l;
                }
            }
        }
    }
}

// Pass counters worked out from the schedules. A clean block corrects nothing, so selective stop ends 2D after the X
// pass and 3D after X and Y. The counter belongs to the calling thread.
TEST(ProductDecoder, PassCounts) {
    const Geometry g2{{16, 11, 16, 11, 1, 1}, 0}, g3{{8, 4, 8, 4, 8, 4}, 0}, odd{{6, 5, 5, 4, 4, 3}, 0};
    const struct { Geometry g; int32_t iterations; uint32_t stop; int32_t expectedCounter; } cases[] = {
        {g2, 64, 0, 65}, {g2, 5, 0, 7}, {g2, 1, 0, 3}, {g2, 2, 0, 3}, {g2, 0, 0, 1}, {g2, -4, 0, 1},
        {g3, 64, 0, 67}, {g3, 5, 0, 7}, {g3, 1, 0, 4}, {g3, 3, 0, 4},  {g3, 4, 0, 7}, {g3, -1, 0, 1},
        {g2, 64, 1, 2},  {g3, 64, 1, 3}, {odd, 64, 1, 3}, {{{10, 9, 12, 11, 1, 1}, 0}, 64, 1, 2},
    };
    std::mt19937 rng(TestSeed(101u));
    for (const auto& c : cases) {
        Buffers run = MakeBuffers(c.g, kCleanCodeword, rng);
        RunDecode(ProductDecoderPath::kPlain, c.g, Call{c.iterations, c.stop, {7, 7, 7}}, run);
        EXPECT_EQ(run.passCounter, c.expectedCounter) << c.g << " iterations " << c.iterations << " stop " << c.stop;
    }
    // The function form leaves its count in the calling thread's counter only.
    Buffers run = MakeBuffers(g2, kCleanCodeword, rng);
    const auto decodeFive = [&] {
        DecodeProductBlock(5, 0, run.channel.data(), run.decisions.data(), g2.nx, g2.kx, g2.ny, g2.ky, g2.nz, g2.kz,
                           g2.N(), 7, 7, 7, g2.Plane(), run.a.data(), run.b.data());
    };
    SetDecoderPassCounter(-12345);
    std::thread([&] { decodeFive(); EXPECT_EQ(DecoderPassCounter(), 7); }).join();
    EXPECT_EQ(DecoderPassCounter(), -12345);
    decodeFive();
    EXPECT_EQ(DecoderPassCounter(), 7);
}

TEST(ProductDecoder, RoundTripsThroughTheEncoder) {
    const uint32_t seed = TestSeed(105u);
    std::mt19937 rng(seed);
    int32_t channelErrors = 0;
    for (const Geometry& g : kGeometries) {
        const std::vector<int32_t> block = EncodeRandom(g, rng);
        Buffers run = MakeBuffers(g, kNoisyCodeword, rng, block, 5.5);
        for (int32_t e = 0; e < g.N(); ++e) channelErrors += (run.channel[e] > 0) != (block[e] == 1);
        RunDecode(ProductDecoderPath::kPlain, g, Call{16, 0, {7, 7, 7}}, run);
        const int32_t decoded = g.ThreeD() ? g.N() : g.Plane();
        EXPECT_TRUE(std::equal(block.begin(), block.begin() + decoded, run.decisions.begin())) << g << " seed " << seed;
    }
    EXPECT_GT(channelErrors, 20) << "the noise should have flipped some hard decisions";
}

}  // namespace

namespace {

// Every SIMD path the CPU and operating system can run is in the build, so that the comparisons above cannot pass by
// leaving a path out. The compiler's runtime asks the CPU (and, for the wide paths, XCR0) on its own.
TEST(ProductDecoderPaths, EveryPathThisCpuRunsIsBuilt) {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    __builtin_cpu_init();
    const struct { ProductDecoderPath path; bool cpuHasIt; } paths[] = {
        {ProductDecoderPath::kSse2, __builtin_cpu_supports("sse2") != 0},
        {ProductDecoderPath::kAvx2, __builtin_cpu_supports("avx2") != 0},
        {ProductDecoderPath::kAvx512, __builtin_cpu_supports("avx512bw") != 0},
    };
    for (const auto& p : paths)
        EXPECT_EQ(ProductDecoderPathAvailable(p.path), p.cpuHasIt) << ProductDecoderPathName(p.path);
#else
    GTEST_SKIP() << "no SIMD paths outside x86";
#endif
}

// The widest lanes only where a pass fills them: 32 lines to a group need nx and ny of 32 or more.
TEST(ProductDecoderPaths, FastestFitsTheCode) {
    if (!ProductDecoderPathAvailable(ProductDecoderPath::kAvx512)) GTEST_SKIP() << "no AVX-512BW here";
    EXPECT_EQ(FastestProductDecoderPath(ProductCode{64, 57, 32, 26, 1, 1}), ProductDecoderPath::kAvx512);
    EXPECT_NE(FastestProductDecoderPath(ProductCode{16, 11, 16, 11, 16, 11}), ProductDecoderPath::kAvx512);
    EXPECT_NE(FastestProductDecoderPath(ProductCode{64, 57, 16, 11, 1, 1}), ProductDecoderPath::kAvx512);
    EXPECT_EQ(ProductDecoder(ProductCode{8, 4, 8, 4, 1, 1}, DecoderSettings{}).settings().path,
              FastestProductDecoderPath(ProductCode{8, 4, 8, 4, 1, 1}));
}

}  // namespace
