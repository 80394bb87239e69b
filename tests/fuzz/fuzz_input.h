// Reading a fuzzer's bytes as the fields of host records: a cursor that
// hands out integers and doubles of any bit pattern, and zeros once the
// input runs out, so every input is a complete (if short) call sequence.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "host/records.h"

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    size_t remaining() const { return size_ - position_; }

    void read(void* out, size_t count) {
        const size_t n = count < remaining() ? count : remaining();
        if (n > 0) std::memcpy(out, data_ + position_, n);
        if (n < count) std::memset(static_cast<uint8_t*>(out) + n, 0, count - n);
        position_ += n;
    }
    template <class T>
    T take() {
        T value;
        read(&value, sizeof value);
        return value;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

// Host records around one node, as the host lays them out for a run.
struct FuzzHost {
    explicit FuzzHost(void* params) {
        system.errorText = errorText;
        for (int p = 0; p < 2; ++p) inputPointers[p] = &inputs[p];
        instance.inputs = inputPointers;
        instance.outputs = outputs;
        instance.params = params;
    }
    int32_t call(int32_t (*entry)(SystemRecord*, NodeInstance*), uint32_t init, uint32_t final) {
        system.isInitCall = init;
        system.isFinalCall = final;
        return entry(&system, &instance);
    }

    SystemRecord system{};
    NodeInstance instance{};
    PortRecord inputs[2]{};
    PortRecord* inputPointers[2]{};
    PortRecord outputs[2]{};
    // Every message of the library fits in 147 bytes; the rest stays zero,
    // so an overlong message shows as a non-zero byte past them.
    char errorText[512]{};
};

// An error text must end within the 147 bytes the host is promised.
inline bool ErrorTextFits(const char* text) { return std::memchr(text, '\0', 147) != nullptr; }

// The example constellation files shipped with the sources.
inline std::string ExampleConstellation(uint32_t choice) {
    static const char* const kFiles[] = {"bpsk_pair.txt", "qpsk.txt", "8psk.txt", "16qam.txt"};
    return std::string(TPC_SOURCE_DIR) + "/examples/constellations/" + kFiles[choice % 4];
}
