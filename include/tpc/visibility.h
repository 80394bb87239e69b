// Marks the classes and functions that libtpccodec exports. The project
// builds with hidden visibility, so only what carries TPC_API is reachable
// from outside the shared library.
#pragma once

#if defined(_WIN32)
#define TPC_API
#else
#define TPC_API __attribute__((visibility("default")))
#endif
