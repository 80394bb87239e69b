// PARAMETER: sizes, defaults written byte-exactly, descriptions, dialogs
// (which cannot show here).
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "host/entry_points.h"
#include "host/parameter_blocks.h"

namespace {

constexpr uint8_t kSentinel = 0xEE;

int32_t Ask(int32_t node, int32_t action, void* block = nullptr, char* text = nullptr) {
    ParameterRequest request{};
    request.action = action;
    request.block = block;
    request.text = text;
    return PARAMETER(node, &request);
}

// Unknown nodes and actions answer 0; without windowing the dialog fails
// (-1). Neither touches the block.
TEST(Parameter, BlockSizesUnknownRequestsAndNoDialog) {
    EXPECT_EQ(Ask(0, 0), 56);
    EXPECT_EQ(Ask(1, 0), 88);
    EXPECT_EQ(Ask(2, 0), 288);
    for (int32_t node : {-1, 3, 100}) {
        for (int32_t action : {-1, 0, 1, 2, 5}) EXPECT_EQ(Ask(node, action), 0) << node;
    }
    for (int32_t node = 0; node < 3; ++node) {
        std::vector<uint8_t> block(300, kSentinel);
        EXPECT_EQ(Ask(node, 5, block.data()), 0);
        EXPECT_EQ(Ask(node, -2, block.data()), 0);
#if !defined(_WIN32)  // there the real dialog would show
        EXPECT_EQ(Ask(node, 1, block.data()), -1);
#endif
        for (uint8_t byte : block) ASSERT_EQ(byte, kSentinel);
    }
}

#if !defined(_WIN32)  // there the real dialog would show (the wine program's part)
// Compares field values listed in the same order, naming the first that differs.
void ExpectFields(const char* block, std::initializer_list<double> got,
                  std::initializer_list<double> want) {
    ASSERT_EQ(got.size(), want.size()) << block;
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got.begin()[i], want.begin()[i]) << block << " field " << i;
    }
}

// Action -1 writes the defaults, then fails to show the dialog here: the
// bytes without a default keep the host's sentinel.
TEST(Parameter, DefaultsTouchOnlyTheirFields) {
    EncoderParams e;
    std::memset(&e, kSentinel, sizeof e);
    EXPECT_EQ(Ask(0, -1, &e), -1);
    ExpectFields("encoder",
                 {1.0 * e.nx, 1.0 * e.ny, 1.0 * e.nz, 1.0 * e.kx, 1.0 * e.ky, 1.0 * e.kz, e.delay,
                  e.threshold, 1.0 * e.interleave, 1.0 * e.inSeconds, 1.0 * e.inBits},
                 {64, 64, 1, 57, 57, 1, 0.0, 0.5, 0, 0, 1});
    for (uint8_t byte : e.reserved0) EXPECT_EQ(byte, kSentinel);

    DecoderParams d;
    std::memset(&d, kSentinel, sizeof d);
    EXPECT_EQ(Ask(1, -1, &d), -1);
    ExpectFields("decoder",
                 {d.quantLimit, 1.0 * d.resolution, 1.0 * d.NUMX, 1.0 * d.NUMY, 1.0 * d.NUMZ,
                  1.0 * d.iterations, 1.0 * d.deinter, 1.0 * d.selectstp, 1.0 * d.inBits,
                  1.0 * d.bpsk, 1.0 * d.higherOrderMod},
                 {1.4, 5, 7, 7, 7, 64, 0, 0, 1, 1, 0});
    for (uint8_t byte : d.reserved0) EXPECT_EQ(byte, kSentinel);

    LlrParams llr;
    std::memset(&llr, kSentinel, sizeof llr);
    std::strcpy(llr.file, "constellation.txt");
    EXPECT_EQ(Ask(2, -1, &llr), -1);
    ExpectFields("llr", {llr.esno, 1.0 * llr.numsym, llr.quantLimit, 1.0 * llr.res},
                 {11.5, 2, 1.5, 5});
    for (uint8_t byte : llr.reserved0) EXPECT_EQ(byte, kSentinel);
    EXPECT_STREQ(llr.file, "constellation.txt");
    EXPECT_EQ(static_cast<uint8_t>(llr.file[259]), kSentinel);
}

#endif

std::string Describe(int32_t node, void* block) {
    std::vector<char> text(2048, 'Z');
    EXPECT_EQ(Ask(node, 2, block, text.data()), 1);
    return text.data();
}

// Values as stored, in the order and precision of each node's format.
TEST(Parameter, Descriptions) {
    EncoderParams encoder{};
    WriteEncoderDefaults(encoder);
    encoder.nz = 16;
    encoder.kz = 11;
    encoder.delay = 123.4567;
    encoder.inBits = 0;  // the unit is not printed
    EXPECT_EQ(Describe(0, &encoder),
              "X code length = 64, X information = 57, Y code length = 64, Y information = 57, "
              "Z code length = 16, Z information = 11, delay = 123.457, ");

    DecoderParams decoder{};
    WriteDecoderDefaults(decoder);
    decoder.delay = -2.5;
    decoder.deinter = 1;
    decoder.selectstp = 1;
    decoder.NUMX = 16;
    decoder.quantLimit = 0.25;
    EXPECT_EQ(Describe(1, &decoder),
              "X code length = 64, X information = 57, Y code length = 64, Y information = 57, "
              "Z code length = 1, Z information = 1, Quant limit = 0.250000, Resolution = 5, "
              "X feedback = 16/16, Y feedback = 7/16, Z feedback = 7/16, iterations = 64, "
              "deinter = 1, selectstp = 1, delay = -2.500 , ");

    LlrParams llr{};
    WriteLlrDefaults(llr);
    EXPECT_EQ(Describe(2, &llr), "esno = 11.50, numsym = 2, quant limit = 1.50, res = 5, file: ");
    llr.esno = 3.14159;
    llr.numsym = 16;
    // A full 259-character path is printed whole.
    std::memset(llr.file, 'p', 259);
    llr.file[259] = '\0';
    EXPECT_EQ(Describe(2, &llr), "esno = 3.14, numsym = 16, quant limit = 1.50, res = 5, file: " +
                                     std::string(259, 'p'));
}

}  // namespace
