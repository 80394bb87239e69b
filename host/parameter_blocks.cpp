#include "host/parameter_blocks.h"

#include <cstdarg>
#include <cstdio>

#include "code/product_code.h"
#include "decoder/decoder_limits.h"
#include "encoder/product_encoder.h"
#include "llr/llr_table.h"

namespace tpc {

namespace {

// Encoder and decoder share the code, ProductCode's own default (a 64 x 64
// block of (64, 57) extended Hamming codes, no Z axis), and start at once,
// the offset counted in bits.
template <class Block>
void WriteCodeAndOffsetDefaults(Block& block) {
    CopyCodeDimensions(ProductCode{}, block);
    block.delay = 0.0;
    block.inSeconds = 0;
    block.inBits = 1;
}

}  // namespace

void WriteEncoderDefaults(EncoderParams& block) {
    WriteCodeAndOffsetDefaults(block);
    block.threshold = kDefaultEncoderThreshold;
    block.interleave = 0;
}

void WriteDecoderDefaults(DecoderParams& block) {
    WriteCodeAndOffsetDefaults(block);
    block.quantLimit = kDefaultQuantizerLimit;
    block.resolution = kQuantizerResolution.initial;
    block.NUMX = kFeedbackWeight.initial;
    block.NUMY = kFeedbackWeight.initial;
    block.NUMZ = kFeedbackWeight.initial;
    block.iterations = kDefaultDecoderPasses;
    block.deinter = 0;
    block.selectstp = 0;
    block.bpsk = 1;
    block.higherOrderMod = 0;
}

void WriteLlrDefaults(LlrParams& block) {
    block.esno = kDefaultLlrEsNo;
    block.numsym = 2;
    block.quantLimit = kDefaultLlrLimit;
    block.res = kDefaultLlrResolution;
}

namespace {

// Appends one formatted piece directly behind the text written so far.
class PieceWriter {
public:
    explicit PieceWriter(char* text) : end_(text) { *end_ = '\0'; }

#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    void
    Append(const char* format, ...) {
        va_list args;
        va_start(args, format);
        int written = std::vsprintf(end_, format, args);
        va_end(args);
        if (written > 0) end_ += written;
    }

private:
    char* end_;
};

// The six dimension pieces that both code descriptions begin with.
template <class Block>
void AppendCodeDimensions(PieceWriter& out, const Block& block) {
    out.Append("X code length = %d, ", block.nx);
    out.Append("X information = %d, ", block.kx);
    out.Append("Y code length = %d, ", block.ny);
    out.Append("Y information = %d, ", block.ky);
    out.Append("Z code length = %d, ", block.nz);
    out.Append("Z information = %d, ", block.kz);
}

}  // namespace

void DescribeEncoderParams(const EncoderParams& block, char* text) {
    PieceWriter out(text);
    AppendCodeDimensions(out, block);
    out.Append("delay = %5.3f, ", block.delay);
}

void DescribeDecoderParams(const DecoderParams& block, char* text) {
    PieceWriter out(text);
    AppendCodeDimensions(out, block);
    out.Append("Quant limit = %f, ", block.quantLimit);
    out.Append("Resolution = %d, ", block.resolution);
    out.Append("X feedback = %d/16, ", block.NUMX);
    out.Append("Y feedback = %d/16, ", block.NUMY);
    out.Append("Z feedback = %d/16, ", block.NUMZ);
    out.Append("iterations = %d, ", block.iterations);
    out.Append("deinter = %d, ", static_cast<int>(block.deinter));
    out.Append("selectstp = %d, ", static_cast<int>(block.selectstp));
    out.Append("delay = %5.3f , ", block.delay);
}

void DescribeLlrParams(const LlrParams& block, char* text) {
    PieceWriter out(text);
    out.Append("esno = %2.2f, ", block.esno);
    out.Append("numsym = %d, ", block.numsym);
    out.Append("quant limit = %2.2f, ", block.quantLimit);
    out.Append("res = %d, ", block.res);
    // The host's block may lack a terminating zero; never read past it.
    out.Append("file: %.*s", static_cast<int>(sizeof block.file), block.file);
}

}  // namespace tpc
