// Defaults and one-line descriptions of the three parameter blocks.
#pragma once

#include <cstdint>

#include "host/records.h"

namespace tpc {

// Node indices, shared by USERCODE's descriptor order and PARAMETER.
inline constexpr int32_t kEncoderNode = 0;
inline constexpr int32_t kDecoderNode = 1;
inline constexpr int32_t kLlrNode = 2;

// Each writes exactly the fields that have a default; every other byte of the
// block (reserved bytes, the LLR file path) keeps what the host put there.
void WriteEncoderDefaults(EncoderParams& block);
void WriteDecoderDefaults(DecoderParams& block);
void WriteLlrDefaults(LlrParams& block);

// Write the block's one-line description into `text` (the host sizes it).
void DescribeEncoderParams(const EncoderParams& block, char* text);
void DescribeDecoderParams(const DecoderParams& block, char* text);
void DescribeLlrParams(const LlrParams& block, char* text);

}  // namespace tpc
