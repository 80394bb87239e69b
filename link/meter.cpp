#include "link/meter.h"

namespace tpc::link {

namespace {

// Calls visit(t, position) for each row of information bits: t is the first
// bit's index, position its block position, and the row's kx bits follow on
// both sides. Rows x fastest, then y, then z: the order of the source bits and
// the encoder's input. Whole rows, so that the callers' inner loops vectorise.
template <class Visit>
void ForEachInformationRow(const ProductCode& code, Visit visit) {
    int32_t t = 0;
    for (int32_t z = 0; z < code.kz; ++z) {
        for (int32_t y = 0; y < code.ky; ++y, t += code.kx) visit(t, code.PlaneSize() * z + code.nx * y);
    }
}

}  // namespace

CodewordCheck::CodewordCheck(const ProductCode& code)
    : code_(code),
      encoder_(code, false),
      info_(static_cast<size_t>(code.K())),
      encoded_(static_cast<size_t>(code.N())) {}

bool CodewordCheck::isCodeword(const int32_t* decisions) {
    ForEachInformationRow(code_, [&](int32_t t, int32_t position) {
        for (int32_t x = 0; x < code_.kx; ++x) info_[t + x] = decisions[position + x] != 0;
    });
    encoder_.Encode(info_.data(), encoded_.data());
    for (int32_t e = 0; e < code_.N(); ++e) {
        if (encoded_[e] != (decisions[e] != 0)) return false;
    }
    return true;
}

void CountBlock(const ProductCode& code, const int32_t* decisions, const uint8_t* sent, int32_t passes,
                CodewordCheck& check, LinkCounts& counts) {
    int64_t errors = 0;
    ForEachInformationRow(code, [&](int32_t t, int32_t position) {
        int32_t rowErrors = 0;
        for (int32_t x = 0; x < code.kx; ++x) rowErrors += decisions[position + x] != sent[t + x];
        errors += rowErrors;
    });
    // Only blocks in error are encoded again: few where the error rates are low.
    counts.addBlock(code.K(), errors, passes, errors != 0 && check.isCodeword(decisions));
}

}  // namespace tpc::link
