// x86_vectors.h - what the codec's vector routines (line_codec.cpp, base64.cpp) need on x86: the
// intrinsics, and the attribute that compiles one routine for SSSE3 while the rest of the module
// keeps the plain processor of the build. Such a routine runs only on the Ssse3 path of
// codec_path.h, which the processor was found to have.
#pragma once

#if defined(__i386__) || defined(__x86_64__)
#define UUARC_CODEC_X86 1
// The intrinsics headers of GCC and clang declare every routine without -mssse3.
#include <immintrin.h>
// A 32-bit Windows host may call with the stack aligned to four bytes only; the vectors that
// these routines keep on the stack want sixteen, so they align it themselves there.
#if defined(__i386__)
#define UUARC_SSSE3_ROUTINE __attribute__((target("ssse3"), force_align_arg_pointer))
#else
#define UUARC_SSSE3_ROUTINE __attribute__((target("ssse3")))
#endif
// A piece of such a routine that is always compiled into it, so that a loop that calls it keeps
// its constants in registers instead of loading them again on every call.
#define UUARC_SSSE3_PIECE inline __attribute__((target("ssse3"), always_inline))
#else
#define UUARC_CODEC_X86 0
#endif
