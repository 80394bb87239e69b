// The public codec API against the nodes it stands for: batches decoded on several threads against the
// decoder node block by block (both input modes, helical order, every option), LLR lookups against the LLR
// node's emissions, the vector quantiser against the node's, and the refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "decoder/product_decoder.h"
#include "decoder/quantizer.h"
#include "encoder/product_encoder.h"
#include "llr/constellation_reader.h"
#include "llr/llr_table.h"
#include "nodes/node_harness.h"
#include "tpc/tpc.h"
#include "trial_count.h"

namespace {

struct NodeDecoded {
    std::vector<uint8_t> decisions, info;
    int32_t passes;
};

// One block through a fresh decoder node at rate 1: the N values of "decoded block" and the K of
// "information" that follow it.
NodeDecoded NodeDecode(const DecoderParams& params, const double* samples, int32_t n) {
    Node node(NodeKind::kDecoder);
    node.decoder = params;
    EXPECT_EQ(node.init(), 0) << node.errorText;
    NodeDecoded out;
    for (int32_t t = 0; t < 3 * n; ++t) {
        node.run(t, t < n ? std::optional<double>(samples[t]) : std::nullopt);
        if (t == n - 1) out.passes = DecoderPassCounter() - 1;
        if (t >= n - 1 && t < 2 * n - 1) out.decisions.push_back(static_cast<uint8_t>(node.emitted(0)));
        if (t >= n - 1 && node.outputs[1].noSample == 0) out.info.push_back(static_cast<uint8_t>(node.emitted(1)));
    }
    return out;
}

struct DecodeCase {
    const char* code;
    bool amplitudes, deinterleave, selectiveStop;
    int32_t passes, weights[3], resolution;
    double quantLimit, sigma;
};

// Noise enough that blocks take different numbers of passes and some keep errors. 4,3x5,4 interleaves
// onto a quarter of its positions (helical step 5, N = 20): the others must read as 0, as in a fresh node.
const DecodeCase kDecodeCases[] = {
    {"64,57x64,57", true, true, true, 64, {7, 7, 7}, 5, 1.4, 0.56},
    {"64,57x64,57", false, false, false, 64, {7, 7, 7}, 5, 1.4, 0.62},
    {"8,4x8,4x4,3", true, true, true, 6, {9, 5, 3}, 4, 1.2, 0.7},
    {"8,4x16,11x2,1", false, true, true, 8, {16, 1, 7}, 5, 1.4, 0.7},
    {"4,3x5,4", true, true, false, 4, {7, 7, 7}, 8, 2.5, 0.6},
    {"8,7x8,7x8,7", true, false, false, 3, {12, 12, 12}, 31, 1e-5, 0.4},
};

TEST(Codec, BatchesOnThreadsDecodeLikeTheDecoderNodeBlockByBlock) {
    std::mt19937 rng(20260301u);
    for (const DecodeCase& c : kDecodeCases) {
        SCOPED_TRACE(c.code);
        tpc::api::Codec codec{tpc::api::Code(c.code)};
        const tpc::api::Code& code = codec.code();
        const int32_t n = code.N(), k = code.K(), blocks = 7;

        std::vector<uint8_t> info(static_cast<size_t>(blocks) * k);
        for (uint8_t& bit : info) bit = rng() & 1u;
        const std::vector<uint8_t> sent = codec.Encode(info, c.deinterleave, 3);
        // The encoder the node runs, block by block.
        ProductEncoder reference(ProductCode{code.nx(), code.kx(), code.ny(), code.ky(), code.nz(), code.kz()},
                                 c.deinterleave);
        std::vector<double> blockInfo(k);
        std::vector<int32_t> blockBits(n);
        for (int32_t b = 0; b < blocks; ++b) {
            std::copy(info.begin() + b * k, info.begin() + (b + 1) * k, blockInfo.begin());
            reference.Encode(blockInfo.data(), blockBits.data());
            ASSERT_TRUE(std::equal(blockBits.begin(), blockBits.end(), sent.begin() + b * n)) << "block " << b;
        }

        const double scale = c.amplitudes ? 1.0 : 12.0;
        std::normal_distribution<double> noise(0.0, c.sigma * scale);
        std::vector<double> received(sent.size());
        std::vector<int32_t> soft(sent.size());
        for (size_t i = 0; i < sent.size(); ++i) {
            received[i] = (sent[i] ? scale : -scale) + noise(rng);
            soft[i] = static_cast<int32_t>(received[i]);  // what the node makes of it
            if (!c.amplitudes) received[i] = soft[i];
        }
        tpc::api::DecodeOptions options;
        options.passes = c.passes;
        options.weights[0] = c.weights[0], options.weights[1] = c.weights[1], options.weights[2] = c.weights[2];
        options.selectiveStop = c.selectiveStop, options.deinterleave = c.deinterleave;
        options.resolution = c.resolution, options.quantLimit = c.quantLimit, options.threads = 3;
        const auto decode = [&] {
            return c.amplitudes ? codec.DecodeAmplitudes(received, options) : codec.DecodeSoftValues(soft, options);
        };
        if (c.deinterleave) {  // leaves values at the positions the helical order may not reach
            options.deinterleave = false, decode(), options.deinterleave = true;
        }
        const tpc::api::DecodedBatch batch = decode();

        DecoderParams params;
        WriteDecoderDefaults(params);
        Dims(params, code.nx(), code.kx(), code.ny(), code.ky(), code.nz(), code.kz());
        params.bpsk = c.amplitudes, params.deinter = c.deinterleave, params.selectstp = c.selectiveStop;
        params.iterations = c.passes, params.NUMX = c.weights[0], params.NUMY = c.weights[1];
        params.NUMZ = c.weights[2], params.resolution = c.resolution, params.quantLimit = c.quantLimit;
        std::vector<int32_t> passesSeen;
        for (int32_t b = 0; b < blocks; ++b) {
            const NodeDecoded node = NodeDecode(params, received.data() + b * n, n);
            EXPECT_EQ(batch.passes[b], node.passes) << "block " << b;
            EXPECT_TRUE(std::equal(node.decisions.begin(), node.decisions.end(), batch.decisions.begin() + b * n))
                << "block " << b;
            ASSERT_GE(node.info.size(), static_cast<size_t>(k));
            EXPECT_TRUE(std::equal(batch.info.begin() + b * k, batch.info.begin() + (b + 1) * k, node.info.begin()))
                << "block " << b;
            passesSeen.push_back(node.passes);
        }
        if (c.selectiveStop) {  // otherwise every block runs all passes
            EXPECT_NE(*std::min_element(passesSeen.begin(), passesSeen.end()),
                      *std::max_element(passesSeen.begin(), passesSeen.end()));
        }
    }
}

// Every sample's values as the node emits them: one symbol per call, then a call per further bit.
std::vector<int32_t> NodeLlrs(const char* file, int32_t points, double esno, double limit,
                              const std::vector<double>& i, const std::vector<double>& q) {
    Node node(NodeKind::kLlr);
    node.useConstellation(file, points);
    node.llr.esno = esno, node.llr.quantLimit = limit;
    const int32_t m = BitsPerSymbol(points);
    node.useTiming(1000, 1000.0 * m);
    EXPECT_EQ(node.init(), 0) << node.errorText;
    std::vector<int32_t> llrs;
    int32_t call = 0;
    for (size_t s = 0; s < i.size(); ++s) {
        for (int32_t bit = 0; bit < m; ++bit) {
            if (bit == 0) node.run(call++ * node.system.timeStep, i[s], q[s]);
            else node.run(call++ * node.system.timeStep);
            llrs.push_back(static_cast<int32_t>(node.emitted()));
        }
    }
    return llrs;
}

TEST(LlrTable, LooksUpWhatTheLlrNodeEmits) {
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    const struct { const char* file; int32_t points; double esno, limit; } cases[] = {
        {"8psk.txt", 8, 11.5, 1.5}, {"16qam.txt", 16, 4.0, 1.2}, {"256qam.txt", 256, 200.0, 1.3}};
    std::mt19937 rng(11);
    for (const auto& c : cases) {
        if (Emulated() && c.points > 16) continue;  // emulated floating point takes half a minute for its table
        SCOPED_TRACE(c.file);
        const tpc::api::LlrTable table(
            tpc::api::ReadConstellationFile(std::string(TPC_SOURCE_DIR) + "/examples/constellations/" + c.file,
                                            c.points),
            c.esno, c.limit);
        std::uniform_real_distribution<double> coordinate(-1.2 * c.limit, 1.2 * c.limit);
        std::vector<double> i{nan, 0.3, inf, -inf, c.limit, -c.limit}, q{0.2, nan, -inf, 0.0, -c.limit, c.limit};
        for (int s = 0; s < 200; ++s) i.push_back(coordinate(rng)), q.push_back(coordinate(rng));
        EXPECT_EQ(table.Lookup(i, q), NodeLlrs(c.file, c.points, c.esno, c.limit, i, q));
    }
}

// A call that throws std::invalid_argument whose message holds `words`.
template <class Call>
void ExpectRefusal(Call call, const std::string& words) {
    try {
        call();
        ADD_FAILURE() << "accepted; expected a refusal saying: " << words;
    } catch (const std::invalid_argument& e) {
        EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
    }
}

TEST(Codec, RefusesBadCodesOptionsAndInputsWithTheirReasons) {
    using tpc::api::Code;
    ExpectRefusal([] { Code("64,57x"); }, "n,k per axis");
    ExpectRefusal([] { Code("64,50x64,57"); }, "log2(n) + 1 = n - k");
    ExpectRefusal([] { Code(12, 8, 64, 57); }, "valid dimensions are 8,16,32,64,128,and 256");

    tpc::api::Codec codec{Code("8,4x8,4")};
    const std::vector<double> block(64, 0.5);
    const auto refuses = [&](void (*change)(tpc::api::DecodeOptions&), const std::string& words) {
        tpc::api::DecodeOptions o;
        change(o);
        ExpectRefusal([&] { codec.DecodeAmplitudes(block, o); }, words);
    };
    refuses([](auto& o) { o.passes = 0; }, "passes must be 1 ... 128, got 0");
    refuses([](auto& o) { o.passes = 129; }, "passes must be 1 ... 128");
    refuses([](auto& o) { o.weights[2] = 17; }, "Z weight must be 1 ... 16");
    refuses([](auto& o) { o.weights[0] = 0; }, "X weight");
    refuses([](auto& o) { o.resolution = 0; }, "resolution must be 1 ... 31");
    refuses([](auto& o) { o.quantLimit = std::numeric_limits<double>::quiet_NaN(); }, "quantLimit");
    refuses([](auto& o) { o.quantLimit = -1; }, "quantLimit");
    refuses([](auto& o) { o.threads = 0; }, "threads must be 1 ... 1024");
    refuses([](auto& o) { o.path = static_cast<tpc::api::DecoderPath>(9); }, "unknown decoder path");
    ExpectRefusal([&] { codec.DecodeAmplitudes(std::vector<double>(65), {}); }, "whole number of blocks of N = 64");
    // Soft values have no quantiser: its settings are not looked at.
    tpc::api::DecodeOptions softOnly;
    softOnly.resolution = 0;
    EXPECT_EQ(codec.DecodeSoftValues(std::vector<int32_t>(64, 3), softOnly).info, std::vector<uint8_t>(16, 1));

    std::vector<uint8_t> info(32, 1);
    info[21] = 2;
    ExpectRefusal([&] { codec.Encode(info); }, "bit 21 is 2");
    ExpectRefusal([&] { codec.Encode(std::vector<uint8_t>(17)); }, "blocks of K = 16");

    const std::string dir = std::string(TPC_SOURCE_DIR) + "/examples/constellations/";
    ExpectRefusal([&] { tpc::api::ReadConstellationFile(dir + "qpsk.txt", 8); }, "holds 4 whole points, 8 wanted");
    ExpectRefusal([&] { tpc::api::ReadConstellationFile(dir + "missing.txt", 4); }, "cannot open");
    ExpectRefusal([] { tpc::api::LlrTable({{1, -1, 0}, {0, 0}}, 4.0); }, "3 I coordinates but 2 Q");
    ExpectRefusal([] { tpc::api::LlrTable({{1}, {0}}, 4.0); }, "2 ... 256 points, got 1");
    // Each side of the bound of the length of a file, and a device that never ends.
    const std::string longFile = testing::TempDir() + "api_constellation_long.txt";
    for (const size_t padding : {size_t{0}, size_t{1}}) {
        std::string text = "2 0 -1 0 1 1 0";
        text.resize(tpc::kMaxConstellationFileBytes + padding, ' ');
        std::FILE* file = std::fopen(longFile.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
        if (padding == 0) EXPECT_EQ(tpc::api::ReadConstellationFile(longFile, 2).pointI, (std::vector<double>{-1, 1}));
        else ExpectRefusal([&] { tpc::api::ReadConstellationFile(longFile, 2); }, "is longer than 1048576 bytes");
    }
    std::remove(longFile.c_str());
    ExpectRefusal([] { tpc::api::ReadConstellationFile("/dev/zero", 4); }, "/dev/zero is longer than 1048576 bytes");
}

// Es/N0 and the grid's limit, refused in tpcsim's words for --llr-esno and --llr-limit; the least of each
// that is taken.
TEST(LlrTable, RefusesAnEsNoOrALimitItCannotUse) {
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    const tpc::api::Constellation bpsk{{-1, 1}, {0, 0}};
    const std::string esNo = "esNo must be a positive number (a ratio, not dB), got ";
    const std::string limit = "limit must be greater than 0.001, got ";
    const struct { double esNo, limit; std::string words; } cases[] = {
        {0.0, 1.5, esNo + "0"}, {-2.0, 1.5, esNo + "-2"}, {nan, 1.5, esNo + "nan"}, {inf, 1.5, esNo + "inf"},
        {4.0, 0.001, limit + "0.001"}, {4.0, -1.0, limit + "-1"}, {4.0, nan, limit + "nan"}, {4.0, inf, limit + "inf"},
    };
    for (const auto& c : cases) ExpectRefusal([&] { tpc::api::LlrTable(bpsk, c.esNo, c.limit); }, c.words);
    EXPECT_EQ(tpc::api::LlrTable(bpsk, 1e-6, 0.0011).BitsPerSymbol(), 1);
}

// Real LLRs against the soft values written out: scaled, rounded half away from zero, clipped to +-31, not a
// number as 0; in block and helical order. Few passes, so that a channel value one step off shows.
TEST(Codec, LlrsDecodeAsTheirScaledRoundedAndClippedSoftValues) {
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    tpc::api::Codec codec{tpc::api::Code("16,11x16,11")};
    const int32_t n = codec.code().N(), blocks = 6;
    std::mt19937 rng(5);
    std::uniform_int_distribution<int32_t> half(-80, 80);
    const double specials[] = {nan, inf, -inf, 1e300, -1e300, 0.5, -0.5, 2.5, -2.5, 31.5, -31.5};
    std::vector<double> llrs(static_cast<size_t>(blocks) * n);
    for (size_t i = 0; i < llrs.size(); ++i) llrs[i] = i % 7 == 0 ? specials[i / 7 % std::size(specials)] : half(rng) / 2.0;
    for (const double scale : {1.0, 0.75, 3.0}) {
        for (const bool deinterleave : {false, true}) {
            SCOPED_TRACE("scale " + std::to_string(scale) + (deinterleave ? ", helical order" : ""));
            std::vector<int32_t> soft(llrs.size());
            for (size_t i = 0; i < llrs.size(); ++i) {
                const double v = llrs[i] * scale;
                soft[i] = std::isnan(v) ? 0 : v >= 31 ? 31 : v <= -31 ? -31 : static_cast<int32_t>(std::round(v));
            }
            tpc::api::DecodeOptions options;
            options.passes = 2, options.deinterleave = deinterleave, options.threads = 2;
            const tpc::api::DecodedBatch fromLlrs = codec.DecodeLlrs(llrs, scale, options);
            const tpc::api::DecodedBatch fromSoft = codec.DecodeSoftValues(soft, options);
            EXPECT_EQ(fromLlrs.decisions, fromSoft.decisions);
            EXPECT_EQ(fromLlrs.info, fromSoft.info);
        }
    }
    for (const double scale : {0.0, -1.0, nan, inf}) {
        ExpectRefusal([&] { codec.DecodeLlrs(llrs, scale); }, "scale must be a positive finite number");
    }
}

}  // namespace
