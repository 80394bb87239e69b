// The five entry points the host calls: C linkage, undecorated names, the
// platform's default calling convention. Everything else stays hidden.
#pragma once

#include <cstdint>

#include "host/records.h"

extern "C" {
void USERCODE(LibraryDescriptor* library);
int32_t PARAMETER(int32_t nodeIndex, ParameterRequest* request);
int32_t TPCENCODE(SystemRecord* system, NodeInstance* instance);
int32_t TPCDECODE(SystemRecord* system, NodeInstance* instance);
int32_t LLRcalculator(SystemRecord* system, NodeInstance* instance);
}
