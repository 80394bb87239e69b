// Any parameter block, time step and rates through PARAMETER and the init,
// run and final calls of one node.
//
// Input layout (missing bytes read as zero):
//   u8   node (0 encoder, 1 decoder, 2 LLR; 3 an index PARAMETER refuses)
//   u8   flags: 1 PARAMETER defaults first, 2 a `file` without its
//        terminating zero (else a path that does not open), 4 a second init
//        call without a final call between, 8 fail allocations after
//        `u8 allowed` more, 0x80 usable timing (input rate 1000, system rate
//        8000) instead of the four raw doubles
//   u8   allowed allocations (with flag 8)
//   i32  PARAMETER action for one more request
//   f64  timeStep, systemRate, input rate, input time (raw bit patterns)
//   the parameter block (56, 88 or 288 bytes)
//   then one f64 sample per run call, at most kMaxRunCalls of them
//
// No input is skipped: the largest block the checks accept (256 x 256 x 256)
// is only allocated, never filled, since filling it takes 2^24 run calls.
// The LLR node is taken up to its constellation file, never to the table of
// 65536 cells it builds from one (samples_fuzz looks up tables built once).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_input.h"
#include "host/allocation.h"
#include "host/entry_points.h"

using namespace tpc;

namespace {

constexpr int kMaxRunCalls = 4096;

union AnyBlock {
    EncoderParams encoder;
    DecoderParams decoder;
    LlrParams llr;
};

using Entry = int32_t (*)(SystemRecord*, NodeInstance*);

void CheckParameterRequests(int32_t node, void* block, int32_t extraAction, uint32_t flags) {
    static char text[4096];
    ParameterRequest request{};
    request.block = block;
    request.text = text;
    request.action = 0;
    const int32_t size = PARAMETER(node, &request);
    if (node >= 0 && node <= 2) {
        const int32_t expected = node == 0 ? 56 : node == 1 ? 88 : 288;
        if (size != expected) std::abort();
    } else if (size != 0) {
        std::abort();
    }
    if ((flags & 1) != 0) {
        request.action = -1;
        PARAMETER(node, &request);
    }
    request.action = 2;
    PARAMETER(node, &request);
    // Dialog actions have no window here and fail; any other action is 0.
    request.action = extraAction;
    PARAMETER(node, &request);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const int32_t node = in.take<uint8_t>() % 4;
    const uint32_t flags = in.take<uint8_t>();
    const uint8_t allowed = in.take<uint8_t>();
    const int32_t extraAction = in.take<int32_t>();
    double timing[4];
    for (double& t : timing) t = in.take<double>();

    AnyBlock block;
    std::memset(&block, 0, sizeof block);
    const size_t blockSize = node == 0 ? sizeof(EncoderParams)
                             : node == 1 ? sizeof(DecoderParams)
                                         : sizeof(LlrParams);
    in.read(&block, blockSize);
    if (node == 2) {
        // Never a file that opens: past it the node builds its table.
        std::memset(block.llr.file, 'x', sizeof block.llr.file);
        if ((flags & 2) == 0) {
            const std::string path = ExampleConstellation(0) + ".missing";
            std::memcpy(block.llr.file, path.c_str(), path.size() + 1);
        }
    }

    CheckParameterRequests(node == 3 ? static_cast<int32_t>(flags) - 128 : node, &block,
                           extraAction, flags);
    if (node == 3) return 0;

    FuzzHost host(&block);
    if ((flags & 0x80) != 0) {
        host.inputs[0].rate = 1000;
        host.system.systemRate = 8000;
        host.system.timeStep = 1.0 / 8000;
    } else {
        host.system.timeStep = timing[0];
        host.system.systemRate = timing[1];
        host.inputs[0].rate = timing[2];
        host.inputs[0].time = timing[3];
    }
    host.inputs[1].rate = host.inputs[0].rate;

    const Entry entry = node == 0 ? TPCENCODE : node == 1 ? TPCDECODE : LLRcalculator;
    if ((flags & 8) != 0) FailAllocationsAfter(allowed);
    int32_t status = host.call(entry, 1, 0);
    if ((flags & 4) != 0 && status == 0) status = host.call(entry, 1, 1);  // init wins
    FailAllocationsAfter(-1);
    if (!ErrorTextFits(host.errorText)) std::abort();
    if (status == 0) {
        for (int call = 0; call < kMaxRunCalls && in.remaining() > 0; ++call) {
            host.system.currentTime = call * host.system.timeStep;
            const double sample = in.take<double>();
            host.inputs[0].value = sample;
            host.inputs[1].value = -sample;
            host.inputs[0].noSample = 0;
            if (host.call(entry, 0, 0) != 0) std::abort();  // run calls never fail
        }
    }
    if (host.call(entry, 0, 1) != 0) std::abort();
    if (host.instance.state != nullptr) std::abort();
    return 0;
}
