// The codec library in a few lines: encode random blocks of the default
// (64,57) x (64,57) code, send them as BPSK, decode them on two threads, and
// count the information bits in error, without noise and at Eb/N0 = 3 dB.
// Then the soft values of two QPSK symbols.
#include <tpc/tpc.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace {

// Information bit errors of a batch at the given noise (sigma 0: none).
size_t InfoBitErrors(tpc::api::Codec& codec, const std::vector<uint8_t>& info, double sigma,
                     std::mt19937& rng) {
    const std::vector<uint8_t> code = codec.Encode(info);
    std::normal_distribution<double> noise(0.0, sigma > 0 ? sigma : 1.0);
    std::vector<double> received(code.size());
    for (size_t i = 0; i < code.size(); ++i) {
        received[i] = (code[i] ? 1.0 : -1.0) + (sigma > 0 ? noise(rng) : 0.0);
    }
    tpc::api::DecodeOptions options;  // 64 passes, weights 7/16, the node's quantiser
    options.threads = 2;
    const tpc::api::DecodedBatch decoded = codec.DecodeAmplitudes(received, options);
    size_t errors = 0;
    for (size_t i = 0; i < info.size(); ++i) errors += decoded.info[i] != info[i];
    return errors;
}

}  // namespace

int main() {
    const tpc::api::Code code("64,57x64,57");
    tpc::api::Codec codec(code);
    const size_t blocks = 100;
    std::mt19937 rng(1);
    std::vector<uint8_t> info(blocks * code.K());
    for (uint8_t& bit : info) bit = rng() & 1u;

    std::printf("code %s: N = %d, K = %d, rate %.4f, decoder path %s\n", code.ToString().c_str(),
                code.N(), code.K(), code.Rate(), tpc::api::DecoderPathName(codec.FastestPath()));
    std::printf("noiseless: %zu information bit errors\n", InfoBitErrors(codec, info, 0.0, rng));
    const double ebN0 = std::pow(10.0, 3.0 / 10.0);
    const double sigma = std::sqrt(1.0 / (2.0 * code.Rate() * ebN0));
    std::printf("Eb/N0 3.0 dB: %zu of %zu information bits in error\n",
                InfoBitErrors(codec, info, sigma, rng), info.size());

    // QPSK, labels 0 ... 3 around the circle; Es/N0 10 (a plain ratio).
    const double a = std::sqrt(0.5);
    const tpc::api::LlrTable table({{a, -a, -a, a}, {a, a, -a, -a}}, 10.0);
    const std::vector<int32_t> llrs = table.Lookup({0.6, -0.1}, {0.8, -0.9});
    std::printf("QPSK soft values, bit 0 and bit 1 per symbol: %d %d, %d %d\n", llrs[0], llrs[1],
                llrs[2], llrs[3]);
    return 0;
}
