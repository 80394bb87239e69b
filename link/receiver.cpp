#include "link/receiver.h"

#include <algorithm>
#include <cmath>

#include "code/helical_map.h"
#include "code/vector_clones.h"
#include "decoder/decoding_schedule.h"
#include "llr/cell_llrs.h"

namespace tpc::link {

namespace {

// The level of a clipped amplitude in the fused loops below: by a floor
// instruction where they are cloned for targets that have one, by truncation
// where the build has only the SSE2 loop, which then vectorises.
inline int32_t FusedLevel(const BpskQuantizer& quantizer, double clipped) {
#if TPC_HAS_VECTOR_CLONES
    return quantizer.LevelByFloor(clipped);
#else
    return quantizer.LevelOfNumber(clipped);
#endif
}

// Code bits to BPSK amplitudes plus their noise, as mapper and channel do,
// then to quantiser levels; all numbers, so the quantiser's vectorising form
// applies (branch-free: it vectorises).
TPC_WIDE_VECTOR_CLONES
void QuantizeBpsk(const BpskQuantizer quantizer, const uint8_t* __restrict codeBits,
                  const float* __restrict noise, double sigma, int32_t* __restrict levels, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        const double amplitude = static_cast<double>(2 * static_cast<int32_t>(codeBits[i]) - 1);  // bits are 0 or 1
        const double received = amplitude + sigma * noise[i];
        levels[i] = FusedLevel(quantizer, quantizer.Clip(received));
    }
}

// Fading BPSK: Re(conj(h) y) of each received point, or Re(y/h) when
// `equalise`, quantised (branch-free, as QuantizeBpsk).
double MatchedBpsk(double i, double q, double gainI, double gainQ, bool equalise) {
    const double matched = gainI * i + gainQ * q;
    return equalise ? matched / (gainI * gainI + gainQ * gainQ) : matched;
}

TPC_WIDE_VECTOR_CLONES
void QuantizeMatchedBpsk(const BpskQuantizer quantizer, const double* __restrict i, const double* __restrict q,
                         const double* __restrict gainI, const double* __restrict gainQ, bool equalise,
                         int32_t* __restrict levels, int32_t count) {
    for (int32_t e = 0; e < count; ++e) {
        levels[e] = FusedLevel(quantizer, quantizer.Clip(MatchedBpsk(i[e], q[e], gainI[e], gainQ[e], equalise)));
    }
}

// LLRs are whole numbers well inside the int32_t range.
TPC_VECTOR_CLONES
void TruncateNumbers(const double* __restrict received, int32_t* __restrict levels, int32_t count) {
    for (int32_t i = 0; i < count; ++i) levels[i] = static_cast<int32_t>(received[i]);
}

// 2 ceil(v) - 1, the table's rounding of its entries, within the decoder's
// range (a value that is not a number, which no finite input gives, as 0).
int32_t OddLevel(double v) {
    if (!(v == v)) return 0;
    const double level = 2.0 * std::ceil(v) - 1.0;
    return static_cast<int32_t>(std::max<double>(-kChannelClip, std::min<double>(kChannelClip, level)));
}

}  // namespace

Receiver::Receiver(const PreparedLink& link)
    : blockSize_(link.description.code.N()),
      bitsPerSymbol_(link.geometry.bitsPerSymbol),
      llrLimit_(link.description.llrLimit),
      deinterleave_(link.description.interleave),
      weighByGain_(!link.description.channel.perBlock),
      decoder_(link.description.code, link.description.decoder),
      exactLlrs_(link.description.channel.exactLlrs && !link.description.constellation.empty()),
      pointI_(link.constellation.i),
      pointQ_(link.constellation.q) {
    const LinkDescription& s = link.description;
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
                                           s.points, s.llrLimit, kGridBits, s.llrEsNo, &rawToEntry_);
        if (!built.ok()) RefuseParameters("LLRcalculator", built);
        metricFactor_ = MetricFactor(s.points, s.llrEsNo);
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

void Receiver::bpskLevels(const uint8_t* codeBits, const float* noise, double sigma) {
    QuantizeBpsk(*quantizer_, codeBits, noise, sigma, deinterleave_ ? levels_.data() : channel_.data(), blockSize_);
    if (deinterleave_) place();
}

void Receiver::bpskAmplitudes(const double* received) {
    int32_t* values = deinterleave_ ? levels_.data() : channel_.data();
    for (int32_t i = 0; i < blockSize_; ++i) values[i] = quantizer_->Level(quantizer_->Clip(received[i]));
    if (deinterleave_) place();
}

template <class SymbolLlrs>
void Receiver::collect(int32_t count, SymbolLlrs llrsOf) {
    int32_t filled = 0;
    for (; filled < carried_; ++filled) llrs_[filled] = carry_[filled];
    carried_ = 0;
    int32_t llrs[kMaxBitsPerSymbol];
    for (int32_t s = 0; s < count; ++s) {
        llrsOf(s, llrs);
        for (int32_t j = 0; j < bitsPerSymbol_; ++j) {
            if (filled < blockSize_) {
                llrs_[filled++] = llrs[j];
            } else {
                carry_[carried_++] = llrs[j];
            }
        }
    }
}

void Receiver::symbolLlrs(const double* i, const double* q, int32_t count) {
    collect(count, [&](int32_t s, int32_t* llrs) {
        int32_t row = 0, column = 0;
        LocateReceivedCell(i[s], q[s], llrLimit_, &row, &column);
        FetchSymbolLlrs(bitsPerSymbol_, row, column, llrs, table_.data());
    });
}

void Receiver::symbolLlrs(const double* i, const double* q, const double* gainI, const double* gainQ,
                          int32_t count) {
    const auto gainOf = [&](const double* gains, int32_t s, double unit) { return gains ? gains[s] : unit; };
    if (exactLlrs_) {
        collect(count, [&](int32_t s, int32_t* llrs) {
            exactLlrs(i[s], q[s], gainOf(gainI, s, 1.0), gainOf(gainQ, s, 0.0), llrs);
        });
    } else if (gainI != nullptr) {
        collect(count, [&](int32_t s, int32_t* llrs) { scaledTableLlrs(i[s], q[s], gainI[s], gainQ[s], llrs); });
    } else {
        symbolLlrs(i, q, count);
    }
}

void Receiver::scaledTableLlrs(double i, double q, double gainI, double gainQ, int32_t* out) const {
    const double power = gainI * gainI + gainQ * gainQ;
    // y / h = y conj(h) / |h|^2; a gain of 0 (never drawn in practice) says nothing: the centre.
    const double equalisedI = power > 0 ? (i * gainI + q * gainQ) / power : 0.0;
    const double equalisedQ = power > 0 ? (q * gainI - i * gainQ) / power : 0.0;
    int32_t row = 0, column = 0, entries[kMaxBitsPerSymbol];
    LocateReceivedCell(equalisedI, equalisedQ, llrLimit_, &row, &column);
    FetchSymbolLlrs(bitsPerSymbol_, row, column, entries, table_.data());
    // An entry e = 2 ceil(v) - 1 stands for about v = e / 2: scale that, round it back.
    const double weight = weighByGain_ ? power : 1.0;
    for (int32_t j = 0; j < bitsPerSymbol_; ++j) out[j] = OddLevel(0.5 * entries[j] * weight);
}

void Receiver::exactLlrs(double i, double q, double gainI, double gainQ, int32_t* out) const {
    // |y - h x|^2 = |h|^2 |y/h - x|^2: the table's metric at y/h with the symbol's SNR.
    const double power = gainI * gainI + gainQ * gainQ;
    const double equalisedI = power > 0 ? (i * gainI + q * gainQ) / power : 0.0;
    const double equalisedQ = power > 0 ? (q * gainI - i * gainQ) / power : 0.0;
    double raw[kMaxBitsPerSymbol];
    ComputeCellLlrs(equalisedI, equalisedQ, pointI_.data(), pointQ_.data(), static_cast<int32_t>(pointI_.size()),
                    bitsPerSymbol_, metricFactor_ * power, raw);
    const double weight = weighByGain_ || !(power > 0) ? 1.0 : 1.0 / power;
    for (int32_t j = 0; j < bitsPerSymbol_; ++j) out[j] = OddLevel(rawToEntry_ * raw[j] * weight);
}

void Receiver::fadedBpsk(const double* i, const double* q, const double* gainI, const double* gainQ) {
    int32_t* values = deinterleave_ ? levels_.data() : channel_.data();
    if (fusesBpsk()) {
        QuantizeMatchedBpsk(*quantizer_, i, q, gainI, gainQ, !weighByGain_, values, blockSize_);
    } else {
        for (int32_t e = 0; e < blockSize_; ++e) {
            values[e] = quantizer_->Level(quantizer_->Clip(MatchedBpsk(i[e], q[e], gainI[e], gainQ[e], !weighByGain_)));
        }
    }
    if (deinterleave_) place();
}

void Receiver::placeLlrs() {
    TruncateNumbers(llrs_.data(), deinterleave_ ? levels_.data() : channel_.data(), blockSize_);
    if (deinterleave_) place();
}

}  // namespace tpc::link
