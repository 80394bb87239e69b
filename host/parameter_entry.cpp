// PARAMETER: block sizes, defaults, dialogs and descriptions for the host.
#include "host/dialogs/show_dialog.h"
#include "host/entry_points.h"
#include "host/parameter_blocks.h"

namespace tpc {

namespace {

enum Action : int32_t {
    kDefaultsAndDialog = -1,
    kBlockSize = 0,
    kDialog = 1,
    kDescription = 2,
};

int32_t DialogOf(int32_t nodeIndex) {
    switch (nodeIndex) {
        case kEncoderNode: return kEncoderDialog;
        case kDecoderNode: return kDecoderDialog;
        default: return kLlrDialog;
    }
}

int32_t BlockSizeOf(int32_t nodeIndex) {
    switch (nodeIndex) {
        case kEncoderNode: return static_cast<int32_t>(sizeof(EncoderParams));
        case kDecoderNode: return static_cast<int32_t>(sizeof(DecoderParams));
        default: return static_cast<int32_t>(sizeof(LlrParams));
    }
}

void WriteDefaults(int32_t nodeIndex, void* block) {
    switch (nodeIndex) {
        case kEncoderNode: WriteEncoderDefaults(*static_cast<EncoderParams*>(block)); break;
        case kDecoderNode: WriteDecoderDefaults(*static_cast<DecoderParams*>(block)); break;
        default: WriteLlrDefaults(*static_cast<LlrParams*>(block)); break;
    }
}

void Describe(int32_t nodeIndex, const void* block, char* text) {
    switch (nodeIndex) {
        case kEncoderNode:
            DescribeEncoderParams(*static_cast<const EncoderParams*>(block), text);
            break;
        case kDecoderNode:
            DescribeDecoderParams(*static_cast<const DecoderParams*>(block), text);
            break;
        default: DescribeLlrParams(*static_cast<const LlrParams*>(block), text); break;
    }
}

}  // namespace

}  // namespace tpc

extern "C" int32_t PARAMETER(int32_t nodeIndex, ParameterRequest* request) {
    using namespace tpc;
    if (nodeIndex < kEncoderNode || nodeIndex > kLlrNode) return 0;
    switch (request->action) {
        case kDefaultsAndDialog:
            WriteDefaults(nodeIndex, request->block);
            return ShowParameterDialog(DialogOf(nodeIndex), request->block, request->parentWindow);
        case kBlockSize:
            return BlockSizeOf(nodeIndex);
        case kDialog:
            return ShowParameterDialog(DialogOf(nodeIndex), request->block, request->parentWindow);
        case kDescription:
            Describe(nodeIndex, request->block, request->text);
            return 1;
        default:
            return 0;
    }
}
