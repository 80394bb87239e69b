#include "devhost/channel_blocks.h"

#include <cmath>
#include <stdexcept>

#include "devhost/link.h"
#include "llr/constellation_reader.h"
#include "llr/llr_table.h"

namespace devhost {

InitStatus BpskMapper::init(SystemRecord&) {
    CopySignalDescription(input(0), output(0));
    return {};
}

void BpskMapper::run(SystemRecord&) {
    const PortRecord& in = input(0);
    PortRecord& out = output(0);
    out.noSample = in.noSample;
    if (in.noSample == 0) {
        out.value = in.value != 0 ? 1.0 : -1.0;
        out.time = in.time;
    }
}

// The library's own reader, so that mapper and LLRcalculator read a file
// alike; a file that holds fewer points than asked for is refused here,
// where the node would take the missing points as 0.
Constellation Constellation::Read(const std::string& path, int points) {
    const bool usable = points >= 2 && points <= tpc::kMaxConstellationPoints;
    Constellation c;
    c.i.assign(tpc::kMaxConstellationPoints, 0.0);
    c.q.assign(tpc::kMaxConstellationPoints, 0.0);
    int32_t openFailed = 0;
    const int32_t read = tpc::ReadConstellation(c.i.data(), c.q.data(), usable ? points : 0,
                                                path.c_str(), &openFailed);
    if (openFailed == tpc::kConstellationFileTooLong) {
        throw std::runtime_error("constellation file " + path + " is longer than " +
                                 std::to_string(tpc::kMaxConstellationFileBytes) + " bytes");
    }
    if (openFailed != 0) throw std::runtime_error("cannot open constellation file " + path);
    if (!usable || read < points) {
        throw std::runtime_error("constellation file " + path + " does not hold " +
                                 std::to_string(points) + " points");
    }
    c.i.resize(static_cast<size_t>(points));
    c.q.resize(static_cast<size_t>(points));
    c.bitsPerSymbol = tpc::BitsPerSymbol(points);
    return c;
}

double Constellation::averageEnergy() const {
    double sum = 0;
    for (size_t s = 0; s < i.size(); ++s) sum += i[s] * i[s] + q[s] * q[s];
    return i.empty() ? 0 : sum / static_cast<double>(i.size());
}

SymbolMapper::SymbolMapper(Constellation constellation)
    : Block("symbol mapper", 1, 2), constellation_(std::move(constellation)) {}

InitStatus SymbolMapper::init(SystemRecord&) {
    label_ = 0;
    collected_ = 0;
    for (int p = 0; p < 2; ++p) {
        CopySignalDescription(input(0), output(p));
        output(p).rate = input(0).rate / constellation_.bitsPerSymbol;
    }
    return {};
}

void SymbolMapper::run(SystemRecord&) {
    const PortRecord& in = input(0);
    output(0).noSample = 1;
    output(1).noSample = 1;
    if (in.noSample != 0) return;
    label_ |= (in.value != 0 ? 1 : 0) << collected_;
    if (++collected_ < constellation_.bitsPerSymbol) return;
    const size_t point = static_cast<size_t>(label_) % constellation_.i.size();
    output(0).value = constellation_.i[point];
    output(1).value = constellation_.q[point];
    for (int p = 0; p < 2; ++p) {
        output(p).time = in.time;
        output(p).noSample = 0;
    }
    label_ = 0;
    collected_ = 0;
}

AwgnChannel::AwgnChannel(int ports, double sigma, uint64_t seed)
    : Block("AWGN", ports, ports), sigma_(sigma), seed_(seed), noise_(seed) {}

InitStatus AwgnChannel::init(SystemRecord&) {
    noise_.reseed(seed_);
    for (int p = 0; p < inputCount(); ++p) CopySignalDescription(input(p), output(p));
    return {};
}

void AwgnChannel::run(SystemRecord&) {
    for (int p = 0; p < inputCount(); ++p) {
        const PortRecord& in = input(p);
        PortRecord& out = output(p);
        out.noSample = in.noSample;
        if (in.noSample == 0) {
            out.value = in.value + sigma_ * noise_.next();
            out.time = in.time;
        }
    }
}

ErrorMeter::ErrorMeter(int64_t blockBits, int64_t lag)
    : Block("error meter", 2, 0), blockBits_(blockBits), lag_(lag) {}

InitStatus ErrorMeter::init(SystemRecord&) {
    skipped_ = 0;
    pending_.clear();
    inBlock_ = errorsInBlock_ = blocks_ = bitErrors_ = blockErrors_ = bitErrorsSquared_ = 0;
    captured_.clear();
    referenceCapture_.clear();
    return {};
}

void ErrorMeter::run(SystemRecord&) {
    const PortRecord& source = input(0);
    const PortRecord& decoded = input(1);
    if (source.noSample == 0) {
        const uint8_t bit = source.value != 0 ? 1 : 0;
        pending_.push_back(bit);
        if (capture_) referenceCapture_.push_back(bit);
    }
    if (decoded.noSample != 0) return;
    const uint8_t bit = decoded.value != 0 ? 1 : 0;
    if (capture_) captured_.push_back(bit);
    if (skipped_ < lag_) {
        ++skipped_;
        return;
    }
    if (pending_.empty()) return;  // decoded ahead of the source: not aligned
    errorsInBlock_ += bit != pending_.front();
    pending_.pop_front();
    if (++inBlock_ == blockBits_) {
        ++blocks_;
        bitErrors_ += errorsInBlock_;
        blockErrors_ += errorsInBlock_ != 0;
        bitErrorsSquared_ =
            LinkCounts::SaturatingSum(bitErrorsSquared_, errorsInBlock_ * errorsInBlock_);
        inBlock_ = 0;
        errorsInBlock_ = 0;
    }
}

int64_t FindLag(const std::vector<uint8_t>& reference, const std::vector<uint8_t>& decoded,
                int64_t window) {
    const int64_t r = static_cast<int64_t>(reference.size());
    const int64_t d = static_cast<int64_t>(decoded.size());
    if (window > r) return -1;
    for (int64_t lag = 0; lag + window <= d; ++lag) {
        bool same = true;
        for (int64_t i = 0; i < window && same; ++i) {
            same = decoded[static_cast<size_t>(lag + i)] == reference[static_cast<size_t>(i)];
        }
        if (same) return lag;
    }
    return -1;
}

}  // namespace devhost
