#ifndef KORVEX_STEPPROGRESS_H
#define KORVEX_STEPPROGRESS_H

#include <cstdint>

// Where Step 2 reports how far it has come: the multireads it will compute, each chunk of them
// done, and its end. Start and Finish are called on the initial thread; Add from every worker
// thread.
class StepProgress {
public:
    virtual ~StepProgress() = default;
    virtual void Start(int64_t iTotal) = 0;
    virtual void Add(int64_t iDone) = 0;
    virtual void Finish() = 0;
};

#endif
