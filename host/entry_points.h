// The five entry points the host calls: C linkage, undecorated names, the
// platform's default calling convention. Everything else stays hidden.
#pragma once

#include <cstdint>

#include "host/records.h"

// The build hides every symbol by default; these five are the exception (on
// Windows the .def file names them instead).
#if defined(_WIN32)
#define TPC_EXPORT
#else
#define TPC_EXPORT __attribute__((visibility("default")))
#endif

// Defined at global scope, after the namespace of the rest of the library:
// there they take the visibility declared here.
extern "C" {
TPC_EXPORT void USERCODE(LibraryDescriptor* library);
TPC_EXPORT int32_t PARAMETER(int32_t nodeIndex, ParameterRequest* request);
TPC_EXPORT int32_t TPCENCODE(SystemRecord* system, NodeInstance* instance);
TPC_EXPORT int32_t TPCDECODE(SystemRecord* system, NodeInstance* instance);
TPC_EXPORT int32_t LLRcalculator(SystemRecord* system, NodeInstance* instance);
}
