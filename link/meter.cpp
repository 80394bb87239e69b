#include "link/meter.h"

namespace tpc::link {

void CountBlock(const ProductCode& code, const int32_t* decisions, const uint8_t* sent, int32_t passes,
                LinkCounts& counts) {
    int64_t errors = 0;
    int32_t t = 0;
    for (int32_t z = 0; z < code.kz; ++z) {
        for (int32_t y = 0; y < code.ky; ++y) {
            const int32_t* row = decisions + code.PlaneSize() * z + code.nx * y;
            for (int32_t x = 0; x < code.kx; ++x, ++t) errors += row[x] != sent[t];
        }
    }
    counts.addBlock(code.K(), errors, passes);
}

}  // namespace tpc::link
