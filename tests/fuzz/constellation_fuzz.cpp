// Any bytes as a constellation file: the reader, and for a first byte with
// its top bit set the whole LLR node on that file (table build included).
//
// Input layout: i16 numsym (any value), u8 mode, then the file's bytes.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_input.h"
#include "host/entry_points.h"
#include "host/parameter_blocks.h"
#include "llr/constellation_reader.h"

using namespace tpc;

namespace {

// One scratch file for the whole session, removed at exit.
const std::string& ScratchFile() {
    static const std::string path = [] {
        char pattern[] = "/tmp/tpc_constellation_fuzz_XXXXXX";
        const int fd = mkstemp(pattern);
        if (fd < 0) std::abort();
        close(fd);
        std::atexit([] { std::remove(ScratchFile().c_str()); });
        return std::string(pattern);
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const int32_t points = in.take<int16_t>();
    const uint8_t mode = in.take<uint8_t>();
    const size_t fileSize = in.remaining();
    std::FILE* file = std::fopen(ScratchFile().c_str(), "wb");
    if (file == nullptr) std::abort();
    if (fileSize > 0 && std::fwrite(data + (size - fileSize), 1, fileSize, file) != fileSize) {
        std::abort();
    }
    std::fclose(file);

    // The reader alone, with arrays exactly as large as it is promised.
    double* pointI = static_cast<double*>(std::calloc(kMaxConstellationPoints, sizeof(double)));
    double* pointQ = static_cast<double*>(std::calloc(kMaxConstellationPoints, sizeof(double)));
    int32_t openFailed = 0;
    ReadConstellation(pointI, pointQ, points, ScratchFile().c_str(), &openFailed);
    if (openFailed != 0) std::abort();
    std::free(pointI);
    std::free(pointQ);

    // The node, with a size whose table builds quickly.
    if ((mode & 0x80) == 0) return 0;
    LlrParams params{};
    WriteLlrDefaults(params);
    params.numsym = points % 17;
    std::memcpy(params.file, ScratchFile().c_str(), ScratchFile().size() + 1);
    FuzzHost host(&params);
    host.system.timeStep = 1.0 / 4000;
    host.system.systemRate = 4000;
    host.inputs[0].rate = 1000;
    const int32_t status = host.call(LLRcalculator, 1, 0);
    if (status != 0 && status != 9) std::abort();  // the file opens; only 9 can remain
    if (status == 0) {
        for (int call = 0; call < 16; ++call) {
            host.system.currentTime = call * host.system.timeStep;
            host.inputs[0].noSample = 0;
            host.inputs[0].value = std::sin(call) * 2;
            host.inputs[1].value = std::cos(call) * 2;
            host.call(LLRcalculator, 0, 0);
            // An odd integer of 32 bits (0.0 past the m values of a symbol).
            // A lopsided constellation has entries far below minus the peak,
            // so the -141 ... 139 of symmetric ones does not hold here.
            const double v = host.outputs[0].value;
            if (!(std::fabs(v) <= 2147483647.0) || std::trunc(v) != v) std::abort();
            if (v != 0.0 && std::fmod(v, 2.0) == 0.0) std::abort();
        }
    }
    host.call(LLRcalculator, 0, 1);
    return 0;
}
