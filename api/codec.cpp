// tpc::api::Codec: batches over the library's ProductEncoder, quantiser and
// ProductDecoder, one set of buffers per worker thread.
#include "tpc/codec.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "api/batch_runner.h"
#include "api/internal_code.h"
#include "code/helical_map.h"
#include "decoder/decoder_limits.h"
#include "decoder/decoding_schedule.h"
#include "decoder/product_decoder.h"
#include "decoder/quantizer.h"
#include "encoder/packed_product_encoder.h"

namespace tpc {
namespace api {

static_assert(static_cast<int32_t>(DecoderPath::kPlain) ==
                      static_cast<int32_t>(ProductDecoderPath::kPlain) &&
                  static_cast<int32_t>(DecoderPath::kAvx512) ==
                      static_cast<int32_t>(ProductDecoderPath::kAvx512) &&
                  static_cast<int32_t>(DecoderPath::kFastest) ==
                      static_cast<int32_t>(ProductDecoderPath::kFastest),
              "the public paths name the library's");

namespace {

constexpr int32_t kMinPasses = 1;  // the API has no use for a call that decodes nothing
constexpr int32_t kMaxThreads = 1024;

// One worker's buffers, kept between calls.
struct Workspace {
    explicit Workspace(int32_t n)
        : channel(n), arrival(n), decisions(n), stores(2 * static_cast<size_t>(n)) {}

    std::vector<int32_t> channel;    // block order, clipped by the decoder
    std::vector<int32_t> arrival;    // arrival order, before the helical placement
    // Elements no pass reaches (the carried layers of a two-dimensional code
    // with nz > 1) are never written, so they stay 0.
    std::vector<int32_t> decisions;
    std::vector<int32_t> stores;     // the decoder's two extrinsic stores
    std::unique_ptr<PackedProductEncoder> encoders[2];  // block order, helical
};

void Require(bool condition, const std::string& message) {
    if (!condition) throw std::invalid_argument(message);
}

// "low ... high", as the messages give a range.
std::string Range(int32_t low, int32_t high) {
    return std::to_string(low) + " ... " + std::to_string(high);
}

void CheckThreads(int32_t threads) {
    Require(threads >= 1 && threads <= kMaxThreads,
            "threads must be " + Range(1, kMaxThreads) + ", got " + std::to_string(threads));
}

void CheckOptions(const DecodeOptions& o, bool amplitudes) {
    Require(o.passes >= kMinPasses && o.passes <= kMaxDecoderPasses,
            "passes must be " + Range(kMinPasses, kMaxDecoderPasses) + ", got " +
                std::to_string(o.passes));
    const char* axes = "XYZ";
    for (int32_t a = 0; a < 3; ++a) {
        Require(o.weights[a] >= kFeedbackWeight.min && o.weights[a] <= kFeedbackWeight.max,
                std::string(1, axes[a]) + " weight must be " +
                    Range(kFeedbackWeight.min, kFeedbackWeight.max) + " (sixteenths), got " +
                    std::to_string(o.weights[a]));
    }
    if (amplitudes) {
        Require(o.resolution >= kQuantizerResolution.min &&
                    o.resolution <= kQuantizerResolution.max,
                "resolution must be " + Range(kQuantizerResolution.min, kQuantizerResolution.max) +
                    " bits, got " + std::to_string(o.resolution));
        Require(std::isfinite(o.quantLimit) && o.quantLimit > 0,
                "quantLimit must be a positive finite number, got " + std::to_string(o.quantLimit));
    }
    CheckThreads(o.threads);
    const auto path = static_cast<int32_t>(o.path);
    Require(path >= 0 && path <= static_cast<int32_t>(DecoderPath::kFastest),
            "unknown decoder path " + std::to_string(path));
    Require(DecoderPathAvailable(o.path),
            std::string("decoder path ") + DecoderPathName(o.path) +
                " is not available in this build or on this CPU");
}

// Bits held as int32_t to bytes. Byte stores may alias anything, so the
// restrict qualifiers are what lets the compiler keep the count in a register
// and vectorise the loop.
void NarrowBits(const int32_t* __restrict from, uint8_t* __restrict to, size_t count) {
    for (size_t i = 0; i < count; ++i) to[i] = static_cast<uint8_t>(from[i]);
}

// Real LLRs to channel values: scaled, clipped to what the decoder keeps of
// them, rounded to nearest; not a number gives 0.
void ScaleLlrs(const double* llrs, double scale, int32_t* channel, int32_t count) {
    constexpr double clip = kChannelClip;
    for (int32_t i = 0; i < count; ++i) {
        const double value = llrs[i] * scale;
        channel[i] = std::isnan(value) ? 0 : static_cast<int32_t>(std::lround(std::clamp(value, -clip, clip)));
    }
}

// The information bits of a block's decisions, x fastest.
void GatherInfo(const ::tpc::ProductCode& c, const int32_t* decisions, uint8_t* info) {
    const size_t kx = static_cast<size_t>(c.kx);
    for (int32_t z = 0; z < c.kz; ++z) {
        for (int32_t y = 0; y < c.ky; ++y) {
            NarrowBits(decisions + c.PlaneSize() * z + c.nx * y, info, kx);
            info += kx;
        }
    }
}

// The one place a block is encoded.
// Information bits already checked to be 0 or 1, as the packed encoder needs.
void EncodeOneBlock(Workspace& w, bool interleave, const uint8_t* info, uint8_t* codeBits) {
    w.encoders[interleave]->Encode(info, codeBits);
}

}  // namespace

struct Codec::Impl {
    explicit Impl(const Code& c) : code(c), internal(InternalCode(c)) {
        const int32_t n = internal.N();
        helicalPositions.resize(n);
        FillHelicalPlacement(internal, true, helicalPositions.data());
        std::vector<bool> reached(n, false);
        for (int32_t position : helicalPositions) reached[position] = true;
        helicalCoversBlock = std::all_of(reached.begin(), reached.end(), [](bool r) { return r; });
    }

    // Workspaces for `workers` threads, made before any worker starts.
    void Prepare(int32_t workers) {
        while (static_cast<int32_t>(workspaces.size()) < workers) {
            workspaces.push_back(std::make_unique<Workspace>(internal.N()));
        }
    }

    template <class Source>
    void Decode(size_t blocks, const DecodeOptions& options, const DecodeTargets& targets,
                const Source& toChannel);

    Code code;
    ::tpc::ProductCode internal;
    // Arrival i lands at block position helicalPositions[i] when deinterleaving.
    std::vector<int32_t> helicalPositions;
    // When the helical step shares a factor with N some positions receive no
    // value; they are then 0 (no information) in every block.
    bool helicalCoversBlock = true;
    std::vector<std::unique_ptr<Workspace>> workspaces;
};

Codec::Codec(const Code& code) : impl_(std::make_unique<Impl>(code)) {}
Codec::~Codec() = default;
Codec::Codec(Codec&&) noexcept = default;
Codec& Codec::operator=(Codec&&) noexcept = default;

const Code& Codec::code() const { return impl_->code; }

DecoderPath Codec::FastestPath() const {
    return static_cast<DecoderPath>(FastestProductDecoderPath(impl_->internal));
}

void Codec::Encode(const uint8_t* info, size_t blocks, uint8_t* codeBits, bool interleave,
                   int32_t threads) {
    CheckThreads(threads);
    const size_t k = static_cast<size_t>(impl_->internal.K());
    const size_t n = static_cast<size_t>(impl_->internal.N());
    const uint8_t* end = info + blocks * k;
    const uint8_t* bad = std::find_if(info, end, [](uint8_t bit) { return bit > 1; });
    Require(bad == end, "information bits must be 0 or 1; bit " + std::to_string(bad - info) +
                            " is " + std::to_string(bad == end ? 0 : *bad));

    const int32_t workers = WorkersFor(blocks, threads);
    impl_->Prepare(workers);
    for (int32_t w = 0; w < workers; ++w) {
        Workspace& space = *impl_->workspaces[w];
        if (!space.encoders[interleave]) {
            space.encoders[interleave] =
                std::make_unique<PackedProductEncoder>(impl_->internal, interleave);
        }
    }
    RunBatch(blocks, workers, [&](int32_t worker, size_t b) {
        EncodeOneBlock(*impl_->workspaces[worker], interleave, info + b * k, codeBits + b * n);
    });
}

std::vector<uint8_t> Codec::Encode(const std::vector<uint8_t>& info, bool interleave,
                                   int32_t threads) {
    const size_t k = static_cast<size_t>(impl_->internal.K());
    Require(info.size() % k == 0, "information bits: " + std::to_string(info.size()) +
                                      " is not a whole number of blocks of K = " +
                                      std::to_string(k));
    std::vector<uint8_t> codeBits(info.size() / k * impl_->internal.N());
    Encode(info.data(), info.size() / k, codeBits.data(), interleave, threads);
    return codeBits;
}

// toChannel(workspace, block) leaves the block's channel values in arrival
// order in workspace.arrival, or (without deinterleaving) directly in
// workspace.channel.
template <class Source>
void Codec::Impl::Decode(size_t blocks, const DecodeOptions& o, const DecodeTargets& targets,
                         const Source& toChannel) {
    const ::tpc::ProductCode& c = internal;
    const int32_t workers = WorkersFor(blocks, o.threads);
    Prepare(workers);
    const DecoderSettings settings{o.passes,
                                   {o.weights[0], o.weights[1], o.weights[2]},
                                   o.selectiveStop,
                                   static_cast<ProductDecoderPath>(o.path)};
    std::vector<ProductDecoder> decoders;
    decoders.reserve(workers);
    for (int32_t w = 0; w < workers; ++w) {
        int32_t* stores = workspaces[w]->stores.data();
        decoders.emplace_back(c, settings, DecoderStores{stores, stores + c.N()});
    }
    const size_t n = static_cast<size_t>(c.N()), k = static_cast<size_t>(c.K());

    RunBatch(blocks, workers, [&](int32_t worker, size_t b) {
        Workspace& w = *workspaces[worker];
        toChannel(w, b);
        if (o.deinterleave) {
            if (!helicalCoversBlock) std::fill(w.channel.begin(), w.channel.end(), 0);
            for (size_t i = 0; i < n; ++i) w.channel[helicalPositions[i]] = w.arrival[i];
        }
        const int32_t passes = decoders[worker].Decode(w.channel.data(), w.decisions.data());
        if (targets.passes != nullptr) targets.passes[b] = passes;
        if (targets.decisions != nullptr) {
            NarrowBits(w.decisions.data(), targets.decisions + b * n, n);
        }
        if (targets.info != nullptr) GatherInfo(c, w.decisions.data(), targets.info + b * k);
    });
}

void Codec::DecodeAmplitudes(const double* amplitudes, size_t blocks, const DecodeOptions& o,
                             const DecodeTargets& targets) {
    CheckOptions(o, true);
    const int32_t n = impl_->internal.N();
    impl_->Decode(blocks, o, targets, [&](Workspace& w, size_t b) {
        int32_t* target = o.deinterleave ? w.arrival.data() : w.channel.data();
        QuantizeAmplitudes(o.resolution, o.quantLimit, amplitudes + b * n, target, n);
    });
}

void Codec::DecodeSoftValues(const int32_t* values, size_t blocks, const DecodeOptions& o,
                             const DecodeTargets& targets) {
    CheckOptions(o, false);
    const int32_t n = impl_->internal.N();
    impl_->Decode(blocks, o, targets, [&](Workspace& w, size_t b) {
        int32_t* target = o.deinterleave ? w.arrival.data() : w.channel.data();
        std::copy(values + b * n, values + (b + 1) * n, target);
    });
}

void Codec::DecodeLlrs(const double* llrs, size_t blocks, double scale, const DecodeOptions& o,
                       const DecodeTargets& targets) {
    CheckOptions(o, false);
    Require(std::isfinite(scale) && scale > 0,
            "scale must be a positive finite number, got " + std::to_string(scale));
    const int32_t n = impl_->internal.N();
    impl_->Decode(blocks, o, targets, [&](Workspace& w, size_t b) {
        ScaleLlrs(llrs + b * n, scale, o.deinterleave ? w.arrival.data() : w.channel.data(), n);
    });
}

namespace {

template <class Value>
size_t WholeBlocks(const std::vector<Value>& values, int32_t n) {
    Require(values.size() % n == 0, "received values: " + std::to_string(values.size()) +
                                        " is not a whole number of blocks of N = " +
                                        std::to_string(n));
    return values.size() / n;
}

DecodedBatch SizedBatch(size_t blocks, const ::tpc::ProductCode& c, DecodeTargets& targets) {
    DecodedBatch batch{std::vector<uint8_t>(blocks * c.N()), std::vector<uint8_t>(blocks * c.K()),
                       std::vector<int32_t>(blocks)};
    targets = DecodeTargets{batch.decisions.data(), batch.info.data(), batch.passes.data()};
    return batch;
}

}  // namespace

DecodedBatch Codec::DecodeAmplitudes(const std::vector<double>& amplitudes,
                                     const DecodeOptions& options) {
    const size_t blocks = WholeBlocks(amplitudes, impl_->internal.N());
    DecodeTargets targets;
    DecodedBatch batch = SizedBatch(blocks, impl_->internal, targets);
    DecodeAmplitudes(amplitudes.data(), blocks, options, targets);
    return batch;
}

DecodedBatch Codec::DecodeSoftValues(const std::vector<int32_t>& values,
                                     const DecodeOptions& options) {
    const size_t blocks = WholeBlocks(values, impl_->internal.N());
    DecodeTargets targets;
    DecodedBatch batch = SizedBatch(blocks, impl_->internal, targets);
    DecodeSoftValues(values.data(), blocks, options, targets);
    return batch;
}

DecodedBatch Codec::DecodeLlrs(const std::vector<double>& llrs, double scale,
                               const DecodeOptions& options) {
    const size_t blocks = WholeBlocks(llrs, impl_->internal.N());
    DecodeTargets targets;
    DecodedBatch batch = SizedBatch(blocks, impl_->internal, targets);
    DecodeLlrs(llrs.data(), blocks, scale, options, targets);
    return batch;
}

const char* DecoderPathName(DecoderPath path) {
    return ProductDecoderPathName(static_cast<ProductDecoderPath>(path));
}

bool DecoderPathAvailable(DecoderPath path) {
    const auto index = static_cast<int32_t>(path);
    if (index < 0 || index > static_cast<int32_t>(DecoderPath::kFastest)) return false;
    return ProductDecoderPathAvailable(static_cast<ProductDecoderPath>(path));
}

}  // namespace api
}  // namespace tpc
