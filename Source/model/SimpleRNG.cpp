#include "SimpleRNG.h"

#include <cstdint>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define KORVEX_HAVE_AVX2_PATH 1
#endif

namespace {

// A step v' = a (v mod 2^16) + floor(v / 2^16) of a sequence below m = a 2^16 - 1 is
// v' = a v mod m: a v = a 2^16 floor(v / 2^16) + a (v mod 2^16), and a 2^16 = m + 1. So k steps
// on, the state is v a^k mod m. Every state reached from the default seeds lies below m (then
// v' <= a (2^16 - 1) + a - 1 < m), so a run can start k steps ahead by one multiplication.
const std::uint64_t kMultiplierV = 36969;
const std::uint64_t kMultiplierU = 18000;
const std::uint64_t kModulusV = kMultiplierV * 65536 - 1;
const std::uint64_t kModulusU = kMultiplierU * 65536 - 1;

std::uint64_t PowerMod(std::uint64_t a, std::uint64_t k, std::uint64_t m) {
    std::uint64_t result = 1;
    for (; k > 0; k >>= 1, a = a * a % m)
        if (k & 1) result = result * a % m;
    return result;
}

}  // namespace

void SimpleRNG::StateAfter(std::uint64_t iSteps, unsigned int& u, unsigned int& v) {
    SimpleRNG().GetState(u, v);
    u = static_cast<unsigned int>(u * PowerMod(kMultiplierU, iSteps, kModulusU) % kModulusU);
    v = static_cast<unsigned int>(v * PowerMod(kMultiplierV, iSteps, kModulusV) % kModulusV);
}

#ifdef KORVEX_HAVE_AVX2_PATH
namespace {

const int kRuns = 16;

// The four values of d to p, p + iStride, p + 2 iStride and p + 3 iStride.
__attribute__((target("avx2"))) inline void StoreFour(__m256d d, double* p, int iStride) {
    const __m128d low = _mm256_castpd256_pd128(d);
    const __m128d high = _mm256_extractf128_pd(d, 1);
    _mm_storel_pd(p, low);
    _mm_storeh_pd(p + iStride, low);
    _mm_storel_pd(p + 2 * iStride, high);
    _mm_storeh_pd(p + 3 * iStride, high);
}

// Run r of iRunLength values from states (au[r], av[r]) into pOut + r * iRunLength, one step of
// every run at a time, eight runs to a register; the states end after each run's last value.
// Integer steps as in GetUint; the 32-bit output x becomes
// the double x exactly (2^52 + x read from its bits, less 2^52) before the one multiplication.
__attribute__((target("avx2"))) void FillRunsAvx2(unsigned int* au, unsigned int* av, double* pOut, int iRunLength) {
    const __m256i low16 = _mm256_set1_epi32(0xFFFF);
    const __m256i multiplierU = _mm256_set1_epi32(static_cast<int>(kMultiplierU));
    const __m256i multiplierV = _mm256_set1_epi32(static_cast<int>(kMultiplierV));
    const __m256i exponent = _mm256_set1_epi64x(0x4330000000000000LL);
    const __m256d two52 = _mm256_set1_pd(4503599627370496.0);
    const __m256d scale = _mm256_set1_pd(2.328306435996595e-10);
    __m256i u[2], v[2];
    for (int h = 0; h < 2; ++h) {
        u[h] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(au + 8 * h));
        v[h] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(av + 8 * h));
    }
    for (int i = 0; i < iRunLength; ++i) {
        for (int h = 0; h < 2; ++h) {
            v[h] = _mm256_add_epi32(_mm256_mullo_epi32(multiplierV, _mm256_and_si256(v[h], low16)), _mm256_srli_epi32(v[h], 16));
            u[h] = _mm256_add_epi32(_mm256_mullo_epi32(multiplierU, _mm256_and_si256(u[h], low16)), _mm256_srli_epi32(u[h], 16));
            const __m256i x = _mm256_add_epi32(_mm256_slli_epi32(v[h], 16), u[h]);
            const __m256i xLow = _mm256_or_si256(_mm256_cvtepu32_epi64(_mm256_castsi256_si128(x)), exponent);
            const __m256i xHigh = _mm256_or_si256(_mm256_cvtepu32_epi64(_mm256_extracti128_si256(x, 1)), exponent);
            StoreFour(_mm256_mul_pd(_mm256_sub_pd(_mm256_castsi256_pd(xLow), two52), scale), pOut + 8 * h * iRunLength + i, iRunLength);
            StoreFour(_mm256_mul_pd(_mm256_sub_pd(_mm256_castsi256_pd(xHigh), two52), scale), pOut + (8 * h + 4) * iRunLength + i, iRunLength);
        }
    }
    for (int h = 0; h < 2; ++h) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(au + 8 * h), u[h]);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(av + 8 * h), v[h]);
    }
}

bool HaveAvx2() {
    static const bool bHave = __builtin_cpu_supports("avx2");
    return bHave;
}

}  // namespace
#endif

// Without AVX2 the runs gain little over one chain of steps, so the values are made one by one.
void SimpleRNG::FillUniforms(unsigned int& u, unsigned int& v, double* pOut, int n) {
    int iDone = 0;
#ifdef KORVEX_HAVE_AVX2_PATH
    // Runs a power of two apart would share a few cache sets; one value less keeps them apart.
    const int iRunLength = (n - 1) / kRuns;
    if (iRunLength > 0 && u < kModulusU && v < kModulusV && HaveAvx2()) {
        const std::uint64_t stepU = PowerMod(kMultiplierU, iRunLength, kModulusU);
        const std::uint64_t stepV = PowerMod(kMultiplierV, iRunLength, kModulusV);
        unsigned int au[kRuns], av[kRuns];
        au[0] = u;
        av[0] = v;
        for (int r = 1; r < kRuns; ++r) {
            au[r] = static_cast<unsigned int>(au[r - 1] * stepU % kModulusU);
            av[r] = static_cast<unsigned int>(av[r - 1] * stepV % kModulusV);
        }
        FillRunsAvx2(au, av, pOut, iRunLength);
        u = au[kRuns - 1];
        v = av[kRuns - 1];
        iDone = kRuns * iRunLength;
    }
#endif
    for (int i = iDone; i < n; ++i) pOut[i] = GetUniform(u, v);
}
