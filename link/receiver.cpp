#include "link/receiver.h"

#include <algorithm>

#include "code/helical_map.h"
#include "code/vector_clones.h"

namespace tpc::link {

namespace {

// Code bits to BPSK amplitudes plus their noise, as mapper and channel do,
// then to quantiser levels; all numbers, so the quantiser's vectorising form
// applies (branch-free: it vectorises).
TPC_VECTOR_CLONES
void QuantizeBpsk(const BpskQuantizer quantizer, const uint8_t* __restrict codeBits,
                  const double* __restrict noise, double sigma, int32_t* __restrict levels, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        const double amplitude = static_cast<double>(2 * static_cast<int32_t>(codeBits[i]) - 1);  // bits are 0 or 1
        const double received = amplitude + sigma * noise[i];
        levels[i] = quantizer.LevelOfNumber(quantizer.Clip(received));
    }
}

// LLRs are whole numbers well inside the int32_t range.
TPC_VECTOR_CLONES
void TruncateNumbers(const double* __restrict received, int32_t* __restrict levels, int32_t count) {
    for (int32_t i = 0; i < count; ++i) levels[i] = static_cast<int32_t>(received[i]);
}

}  // namespace

Receiver::Receiver(const PreparedLink& link)
    : blockSize_(link.spec.code.N()),
      bitsPerSymbol_(link.geometry.bitsPerSymbol),
      llrLimit_(link.spec.llrLimit),
      deinterleave_(link.spec.interleave),
      decoder_(link.spec.code, link.spec.decoder) {
    const LinkSpec& s = link.spec;
    const size_t n = static_cast<size_t>(blockSize_);
    placement_.resize(n);
    FillHelicalPlacement(s.code, deinterleave_, placement_.data());
    levels_.resize(n);
    channel_.resize(n);
    decisions_.resize(n);
    llrs_.resize(n);
    if (s.constellation.empty()) {
        quantizer_.emplace(s.resolution, s.quantLimit);
    } else {
        if (const Status status = CheckLlrParameters(s.points, s.llrLimit); !status.ok()) {
            RefuseParameters("LLRcalculator", status);
        }
        table_.resize(static_cast<size_t>(bitsPerSymbol_) * kTableCells);
        const Status built = BuildLlrTable(link.constellation.i.data(), link.constellation.q.data(), table_.data(),
                                           s.points, s.llrLimit, kGridBits, s.llrEsNo);
        if (!built.ok()) RefuseParameters("LLRcalculator", built);
    }
}

void Receiver::restart() {
    carried_ = 0;
    std::fill(channel_.begin(), channel_.end(), 0);
    std::fill(decisions_.begin(), decisions_.end(), 0);
}

void Receiver::place() {
    for (int32_t i = 0; i < blockSize_; ++i) channel_[placement_[i]] = levels_[i];
}

void Receiver::bpskLevels(const uint8_t* codeBits, const double* noise, double sigma) {
    QuantizeBpsk(*quantizer_, codeBits, noise, sigma, deinterleave_ ? levels_.data() : channel_.data(), blockSize_);
    if (deinterleave_) place();
}

void Receiver::bpskAmplitudes(const double* received) {
    int32_t* values = deinterleave_ ? levels_.data() : channel_.data();
    for (int32_t i = 0; i < blockSize_; ++i) values[i] = quantizer_->Level(quantizer_->Clip(received[i]));
    if (deinterleave_) place();
}

void Receiver::symbolLlrs(const double* i, const double* q, int32_t count) {
    int32_t filled = 0;
    for (; filled < carried_; ++filled) llrs_[filled] = carry_[filled];
    carried_ = 0;
    int32_t llrs[kMaxBitsPerSymbol];
    for (int32_t s = 0; s < count; ++s) {
        int32_t row = 0, column = 0;
        LocateReceivedCell(i[s], q[s], llrLimit_, &row, &column);
        FetchSymbolLlrs(bitsPerSymbol_, row, column, llrs, table_.data());
        for (int32_t j = 0; j < bitsPerSymbol_; ++j) {
            if (filled < blockSize_) {
                llrs_[filled++] = llrs[j];
            } else {
                carry_[carried_++] = llrs[j];
            }
        }
    }
}

void Receiver::placeLlrs() {
    TruncateNumbers(llrs_.data(), deinterleave_ ? levels_.data() : channel_.data(), blockSize_);
    if (deinterleave_) place();
}

}  // namespace tpc::link
