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

// Defined inside namespace tpc with the rest of the library: a function with
// C linkage is one function whatever namespace declares it, so these are the
// global, undecorated symbols.
extern "C" {
TPC_EXPORT void USERCODE(LibraryDescriptor* library);
TPC_EXPORT int32_t PARAMETER(int32_t nodeIndex, ParameterRequest* request);
TPC_EXPORT int32_t TPCENCODE(SystemRecord* system, NodeInstance* instance);
TPC_EXPORT int32_t TPCDECODE(SystemRecord* system, NodeInstance* instance);
TPC_EXPORT int32_t LLRcalculator(SystemRecord* system, NodeInstance* instance);
}
