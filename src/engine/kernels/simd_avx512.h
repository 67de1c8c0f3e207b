#pragma once

// The AVX-512 side of simd.h, for *_avx512.cpp files only (the build
// compiles them for x86-64 alone): the one spelling of the target
// attribute. The loops use 32 unsigned 16-bit lanes (BW) and lane masks,
// also on narrower vectors (VL); like the AVX2 ones, they run only after
// pickKernel chose them.

#include "engine/kernels/simd_avx2.h"

#define QV_AVX512 __attribute__((target("avx2,avx512f,avx512bw,avx512vl")))

// GCC 12 takes the "undefined" operands inside its own AVX-512 intrinsics
// (_mm512_undefined_epi32 and the like) for uninitialised values once they
// are inlined; the files that include this header use nothing else those
// warnings would catch.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

namespace qv::avx512 {

QV_AVX512 inline __m512i load(const uint16_t* p) { return _mm512_loadu_si512(p); }

// The first `lanes` lanes: none for 0 or less, all for 32 or more.
inline __mmask32 firstLanes(int lanes)
{
    return lanes >= 32 ? ~__mmask32{0} : lanes <= 0 ? 0 : (__mmask32{1} << lanes) - 1;
}

// The lower and upper 16 of 32 unsigned 16-bit lanes as 32-bit lanes.
QV_AVX512 inline __m512i widenLower(__m512i v) { return _mm512_cvtepu16_epi32(_mm512_castsi512_si256(v)); }
QV_AVX512 inline __m512i widenUpper(__m512i v) { return _mm512_cvtepu16_epi32(_mm512_extracti64x4_epi64(v, 1)); }

}  // namespace qv::avx512
