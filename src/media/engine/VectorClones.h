// KELVOR_VECTOR_CLONES before a function with hot loops builds it for the vector units the
// processor may have, the loader choosing one when the program starts; the plain build serves
// the others. Not under ThreadSanitizer: the loader runs the choosing code before the
// sanitizer's runtime is up, and every program crashed at load.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define KELVOR_VECTOR_CLONES __attribute__((target_clones("avx2", "ssse3", "default")))
#else
#define KELVOR_VECTOR_CLONES
#endif
