// The BPSK channel's two paths: the plain one, which hands out the received
// values (a replayed block shows them), and the one fused into the
// quantiser must see the same values, so give the decoder the same levels.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "link/channel.h"
#include "link/receiver.h"
#include "trial_count.h"

namespace tpc::link {
namespace {

TEST(Channel, PlainAndFusedBpskAgree) {
    for (const bool interleave : {false, true}) {
        LinkDescription description;
        description.interleave = interleave;
        description.ebN0Db = 2.0;
        const PreparedLink link = PrepareLink(description);
        const int32_t n = link.geometry.codeBits;
        const uint64_t seed = TestSeed(17);
        Channel plain(link.constellation, n, description.channel), fused(link.constellation, n, description.channel);
        plain.restart(seed);
        fused.restart(seed);
        Receiver plainReceiver(link), fusedReceiver(link);
        ASSERT_TRUE(fusedReceiver.fusesBpsk());

        std::mt19937 random(static_cast<uint32_t>(seed));
        std::vector<uint8_t> codeBits(static_cast<size_t>(n));
        std::vector<double> received(static_cast<size_t>(n));
        for (int block = 0; block < 3; ++block) {
            for (uint8_t& bit : codeBits) bit = random() & 1;
            plain.bpsk(codeBits.data(), link.sigma, received.data());
            const float* noise = fused.bpskNoise();
            for (int32_t i = 0; i < n; ++i) {
                // The double sum of the widened draw, as the development host's channel adds it.
                ASSERT_EQ(received[i], (2.0 * codeBits[i] - 1.0) + link.sigma * static_cast<double>(noise[i]))
                    << "block " << block << " value " << i;
            }
            plainReceiver.bpskAmplitudes(received.data());
            fusedReceiver.bpskLevels(codeBits.data(), noise, link.sigma);
            const std::vector<int32_t> plainLevels(plainReceiver.channelValues(), plainReceiver.channelValues() + n);
            const std::vector<int32_t> fusedLevels(fusedReceiver.channelValues(), fusedReceiver.channelValues() + n);
            ASSERT_EQ(plainLevels, fusedLevels) << "block " << block << (interleave ? " interleaved" : "");
        }
    }
}

}  // namespace
}  // namespace tpc::link
