// Clones of a hot loop for AVX-512 and AVX2 machines beside the baseline
// one, picked at load time: the same operations on wider vectors, so the
// same numbers (the files that use it are built without FP contraction).
// Only where the toolchain has ifuncs (GCC on x86-64 ELF).
#pragma once

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__ELF__)
#define TPC_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define TPC_VECTOR_CLONES
#endif
