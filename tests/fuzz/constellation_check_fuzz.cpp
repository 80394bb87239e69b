// Any bytes as a constellation file through tpcsim's checks of it, and a
// file the checks accept through the library's reader too: the run must
// get the very points tpcsim checked, one per label position.
//
// Input layout: u8 M - 2 (tpcsim's --points, 2 ... 256), then the file's text.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "fuzz_input.h"
#include "llr/constellation_reader.h"
#include "memory_file.h"
#include "sim/constellation_check.h"

using namespace tpcsim;

namespace {

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const int points = 2 + in.take<uint8_t>() % 255;
    const size_t textSize = in.remaining();
    const std::string text(reinterpret_cast<const char*>(data + (size - textSize)), textSize);

    ConstellationFile file;
    try {
        file = ParseConstellationText(text, "fuzz");
    } catch (const std::invalid_argument&) {
        return 0;  // the message tpcsim reports
    }
    if (file.i.size() != file.labels.size() || file.q.size() != file.labels.size()) std::abort();
    const ConstellationCheck check = CheckConstellation(file, "fuzz", points);
    if (!check.error.empty()) return 0;
    if (static_cast<int>(file.labels.size()) != points) std::abort();

    static const MemoryFile memory;
    memory.put(text.data(), text.size());
    static double pointI[tpc::kMaxConstellationPoints];
    static double pointQ[tpc::kMaxConstellationPoints];
    std::memset(pointI, 0, sizeof pointI);
    std::memset(pointQ, 0, sizeof pointQ);
    int32_t openFailed = 0;
    const int32_t read = tpc::ReadConstellation(pointI, pointQ, points, memory.path().c_str(), &openFailed);
    if (openFailed != 0 || read != points) std::abort();
    for (int s = 0; s < points; ++s) {
        if (!SameBits(pointI[s], file.i[size_t(s)]) || !SameBits(pointQ[s], file.q[size_t(s)])) {
            std::abort();
        }
    }
    return 0;
}
