// Clones of a hot loop for AVX-512 and AVX2 machines beside the baseline
// one, picked once at load time: the same operations on wider vectors, so
// the same numbers, provided the loop's file is built without FP contraction
// wherever an addition could fuse with a multiply. Only where the toolchain
// has ifuncs (GCC on x86-64 ELF); elsewhere, the Windows DLLs and clang
// builds among them, the macro is empty and the loop is built once.
#pragma once

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__ELF__)
#define TPC_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#define TPC_HAS_VECTOR_CLONES 1
#else
#define TPC_VECTOR_CLONES
#define TPC_HAS_VECTOR_CLONES 0
#endif

// The same for loops that mix element widths (bytes, 32-bit integers,
// doubles): with AVX-512F alone GCC keeps them to 256-bit vectors; the
// x86-64-v4 level (F, BW, DQ, VL) lets it fill 512-bit ones.
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ >= 12 && defined(__x86_64__) && defined(__ELF__)
#define TPC_WIDE_VECTOR_CLONES __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#else
#define TPC_WIDE_VECTOR_CLONES TPC_VECTOR_CLONES
#endif
