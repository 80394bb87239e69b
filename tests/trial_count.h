// Seeds and trial counts of the randomised tests. Seeds are fixed; TPC_TEST_SEED overrides them
// to replay or widen a run. Under emulation (TPC_TEST_EMULATED set) a run does an eighth of the trials.
#pragma once

#include <cstdint>
#include <cstdlib>

inline uint32_t TestSeed(uint32_t fallback) {
    const char* text = std::getenv("TPC_TEST_SEED");
    return text != nullptr ? static_cast<uint32_t>(std::strtoul(text, nullptr, 10)) : fallback;
}
inline bool Emulated() { return std::getenv("TPC_TEST_EMULATED") != nullptr; }
inline int RandomTrials(int full) { return !Emulated() ? full : (full >= 8 ? full / 8 : 1); }
