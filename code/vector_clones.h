// Clones of a hot loop for AVX-512 and AVX2 machines beside the baseline
// one, picked once at load time: the same operations on wider vectors, so
// the same numbers, provided the loop's file is built without FP contraction
// wherever an addition could fuse with a multiply. Only where the toolchain
// has ifuncs (GCC on x86-64 ELF); elsewhere, the Windows DLLs and clang
// builds among them, the macro is empty and the loop is built once.
#pragma once

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__ELF__)
#define TPC_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define TPC_VECTOR_CLONES
#endif
