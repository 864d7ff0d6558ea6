#ifndef KORVEX_SIMPLERNG_H
#define KORVEX_SIMPLERNG_H

#include <cstdint>

// Two multiply-with-carry sequences combined into one 32-bit output.
class SimpleRNG {
public:
    SimpleRNG() : w(521288629u), z(362436069u) {}

    void SetState(unsigned int u, unsigned int v) { w = u; z = v; }
    void GetState(unsigned int& u, unsigned int& v) const { u = w; v = z; }
    unsigned int GetUint() { return GetUint(w, z); }
    double GetUniform() { return GetUniform(w, z); }

    static unsigned int GetUint(unsigned int& u, unsigned int& v) {
        v = 36969u * (v & 65535u) + (v >> 16);
        u = 18000u * (u & 65535u) + (u >> 16);
        return (v << 16) + u;
    }
    static double GetUniform(unsigned int& u, unsigned int& v) {
        return static_cast<double>(GetUint(u, v)) * 2.328306435996595e-10;
    }

    // The next n uniforms from state (u, v) into pOut, leaving (u, v) after the last: the same
    // values as n calls of GetUniform, computed as several independent runs that the processor
    // overlaps instead of one chain of dependent steps.
    static void FillUniforms(unsigned int& u, unsigned int& v, double* pOut, int n);
    // The state (u, v) of a generator from the default seeds after it gave iSteps values.
    static void StateAfter(std::uint64_t iSteps, unsigned int& u, unsigned int& v);

private:
    unsigned int w;
    unsigned int z;
};

#endif
