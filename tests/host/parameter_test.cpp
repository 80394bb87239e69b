// PARAMETER: sizes, defaults written byte-exactly, descriptions, dialogs.
#include <gtest/gtest.h>

#include <cstring>
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

TEST(Parameter, BlockSizesAndUnknownRequests) {
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
        for (uint8_t byte : block) ASSERT_EQ(byte, kSentinel);
    }
}

// Action -1 writes the defaults, then fails to show the dialog here: the
// bytes without a default keep the host's sentinel.
TEST(Parameter, DefaultsTouchOnlyTheirFields) {
    EncoderParams encoder;
    std::memset(&encoder, kSentinel, sizeof encoder);
    EXPECT_EQ(Ask(0, -1, &encoder), -1);
    EXPECT_EQ(encoder.nx, 64);
    EXPECT_EQ(encoder.ny, 64);
    EXPECT_EQ(encoder.nz, 1);
    EXPECT_EQ(encoder.kx, 57);
    EXPECT_EQ(encoder.ky, 57);
    EXPECT_EQ(encoder.kz, 1);
    EXPECT_EQ(encoder.delay, 0.0);
    EXPECT_EQ(encoder.threshold, 0.5);
    EXPECT_EQ(encoder.interleave, 0u);
    EXPECT_EQ(encoder.inSeconds, 0u);
    EXPECT_EQ(encoder.inBits, 1u);
    for (uint8_t byte : encoder.reserved0) EXPECT_EQ(byte, kSentinel);

    DecoderParams decoder;
    std::memset(&decoder, kSentinel, sizeof decoder);
    EXPECT_EQ(Ask(1, -1, &decoder), -1);
    EXPECT_EQ(decoder.quantLimit, 1.4);
    EXPECT_EQ(decoder.resolution, 5);
    EXPECT_EQ(decoder.NUMX, 7);
    EXPECT_EQ(decoder.NUMY, 7);
    EXPECT_EQ(decoder.NUMZ, 7);
    EXPECT_EQ(decoder.iterations, 64);
    EXPECT_EQ(decoder.deinter, 0u);
    EXPECT_EQ(decoder.selectstp, 0u);
    EXPECT_EQ(decoder.inBits, 1u);
    EXPECT_EQ(decoder.bpsk, 1u);
    EXPECT_EQ(decoder.higherOrderMod, 0u);
    for (uint8_t byte : decoder.reserved0) EXPECT_EQ(byte, kSentinel);

    LlrParams llr;
    std::memset(&llr, kSentinel, sizeof llr);
    std::strcpy(llr.file, "constellation.txt");
    EXPECT_EQ(Ask(2, -1, &llr), -1);
    EXPECT_EQ(llr.esno, 11.5);
    EXPECT_EQ(llr.numsym, 2);
    EXPECT_EQ(llr.quantLimit, 1.5);
    EXPECT_EQ(llr.res, 5);
    for (uint8_t byte : llr.reserved0) EXPECT_EQ(byte, kSentinel);
    EXPECT_STREQ(llr.file, "constellation.txt");
    EXPECT_EQ(static_cast<uint8_t>(llr.file[259]), kSentinel);
}

TEST(Parameter, DialogWithoutWindowingFailsAndChangesNothing) {
    for (int32_t node = 0; node < 3; ++node) {
        std::vector<uint8_t> block(300, kSentinel);
        EXPECT_EQ(Ask(node, 1, block.data()), -1);
        for (uint8_t byte : block) ASSERT_EQ(byte, kSentinel);
    }
}

std::string Describe(int32_t node, void* block) {
    std::vector<char> text(2048, 'Z');
    EXPECT_EQ(Ask(node, 2, block, text.data()), 1);
    return text.data();
}

TEST(Parameter, DescriptionsOfTheDefaults) {
    EncoderParams encoder{};
    WriteEncoderDefaults(encoder);
    EXPECT_EQ(Describe(0, &encoder),
              "X code length = 64, X information = 57, Y code length = 64, Y information = 57, "
              "Z code length = 1, Z information = 1, delay = 0.000, ");

    DecoderParams decoder{};
    WriteDecoderDefaults(decoder);
    EXPECT_EQ(Describe(1, &decoder),
              "X code length = 64, X information = 57, Y code length = 64, Y information = 57, "
              "Z code length = 1, Z information = 1, Quant limit = 1.400000, Resolution = 5, "
              "X feedback = 7/16, Y feedback = 7/16, Z feedback = 7/16, iterations = 64, "
              "deinter = 0, selectstp = 0, delay = 0.000 , ");

    LlrParams llr{};
    WriteLlrDefaults(llr);
    EXPECT_EQ(Describe(2, &llr), "esno = 11.50, numsym = 2, quant limit = 1.50, res = 5, file: ");
    std::strcpy(llr.file, "C:\\const\\16qam.txt");
    EXPECT_EQ(Describe(2, &llr),
              "esno = 11.50, numsym = 2, quant limit = 1.50, res = 5, file: C:\\const\\16qam.txt");
}

TEST(Parameter, DescriptionsPrintValuesAsStored) {
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
    const std::string text = Describe(1, &decoder);
    EXPECT_NE(text.find("Quant limit = 0.250000, "), std::string::npos) << text;
    EXPECT_NE(text.find("X feedback = 16/16, "), std::string::npos) << text;
    EXPECT_NE(text.find("deinter = 1, selectstp = 1, delay = -2.500 , "), std::string::npos)
        << text;

    LlrParams llr{};
    WriteLlrDefaults(llr);
    llr.esno = 3.14159;
    llr.numsym = 16;
    // A full 259-character path is printed whole.
    std::memset(llr.file, 'p', 259);
    llr.file[259] = '\0';
    const std::string llrText = Describe(2, &llr);
    EXPECT_EQ(llrText.substr(0, 14), "esno = 3.14, n");
    EXPECT_EQ(llrText.size(), std::string("esno = 3.14, numsym = 16, quant limit = 1.50, res = 5, file: ").size() + 259);
}

}  // namespace
