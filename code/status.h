// How the library's checks report. A check returns a Status: code 0 when it
// passed, otherwise the node's error code and the fixed text that the node
// copies into the host's error buffer. Messages are string literals that live
// as long as the library; Failure refuses, at compile time, one that the
// host's buffer cannot hold.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tpc {

// The host's error buffer, terminating zero included.
inline constexpr size_t kErrorTextBytes = 147;

struct Status {
    int32_t code = 0;
    const char* message = nullptr;

    bool ok() const { return code == 0; }
};

inline constexpr Status kOk{};

template <size_t N>
constexpr Status Failure(int32_t code, const char (&message)[N]) {
    static_assert(N <= kErrorTextBytes, "error message longer than the host's 147-byte buffer");
    return Status{code, message};
}

}  // namespace tpc
