#include "link/meter.h"

namespace tpc::link {

namespace {

// Calls visit(t, position) for information bit t at its block position:
// x fastest, then y, then z, the order of the source bits and the encoder's input.
template <class Visit>
void ForEachInformationBit(const ProductCode& code, Visit visit) {
    int32_t t = 0;
    for (int32_t z = 0; z < code.kz; ++z) {
        for (int32_t y = 0; y < code.ky; ++y) {
            const int32_t row = code.PlaneSize() * z + code.nx * y;
            for (int32_t x = 0; x < code.kx; ++x, ++t) visit(t, row + x);
        }
    }
}

}  // namespace

CodewordCheck::CodewordCheck(const ProductCode& code)
    : code_(code),
      encoder_(code, false),
      info_(static_cast<size_t>(code.K())),
      encoded_(static_cast<size_t>(code.N())) {}

bool CodewordCheck::isCodeword(const int32_t* decisions) {
    ForEachInformationBit(code_, [&](int32_t t, int32_t position) { info_[t] = decisions[position] != 0; });
    encoder_.Encode(info_.data(), encoded_.data());
    for (int32_t e = 0; e < code_.N(); ++e) {
        if (encoded_[e] != (decisions[e] != 0)) return false;
    }
    return true;
}

void CountBlock(const ProductCode& code, const int32_t* decisions, const uint8_t* sent, int32_t passes,
                CodewordCheck& check, LinkCounts& counts) {
    // Row by row: the inner loop vectorises.
    int64_t errors = 0;
    const uint8_t* sentRow = sent;
    for (int32_t z = 0; z < code.kz; ++z) {
        for (int32_t y = 0; y < code.ky; ++y, sentRow += code.kx) {
            const int32_t* decided = decisions + code.PlaneSize() * z + code.nx * y;
            int32_t rowErrors = 0;
            for (int32_t x = 0; x < code.kx; ++x) rowErrors += decided[x] != sentRow[x];
            errors += rowErrors;
        }
    }
    // Only blocks in error are encoded again: few where the error rates are low.
    counts.addBlock(code.K(), errors, passes, errors != 0 && check.isCodeword(decisions));
}

}  // namespace tpc::link
