#ifndef KORVEX_UNIFORMTABLE_H
#define KORVEX_UNIFORMTABLE_H

#include <cstddef>
#include <vector>

// The first uniforms of the stream from the default seeds, computed once per process. Every
// multiread's sampler starts from the default seeds and so reads a prefix of this one stream;
// reading it from memory is cheaper than generating it again for every multiread.
class UniformTable {
public:
    static const std::size_t kSize = 1 << 20;

    // Built on first use (thread-safe), then shared read-only by all threads.
    static const UniformTable& Shared();

    const double* Begin() const { return vValues.data(); }
    const double* End() const { return vValues.data() + vValues.size(); }
    // The generator state after the last value, where the stream continues.
    void GetEndState(unsigned int& u, unsigned int& v) const { u = uEndW; v = uEndZ; }

private:
    UniformTable();

    std::vector<double> vValues;  // owned; filled by the constructor, read-only afterwards
    unsigned int uEndW;
    unsigned int uEndZ;
};

#endif
