#include "SignalCleanup.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>

namespace {

// Fixed storage, so that the handler reads no memory that the run may be reallocating.
constexpr int SLOTS = 16;
char g_aacPaths[SLOTS][PATH_MAX];
volatile sig_atomic_t g_abUsed[SLOTS];

const int SIGNALS[] = {SIGHUP, SIGINT, SIGTERM};

extern "C" void RemoveFilesAndRaise(int iSignal) {
    for (int i = 0; i < SLOTS; ++i)
        if (g_abUsed[i]) ::unlink(g_aacPaths[i]);
    ::signal(iSignal, SIG_DFL);
    ::raise(iSignal);
}

void InstallHandlerOnce() {
    static bool bInstalled = false;
    if (bInstalled) return;
    bInstalled = true;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = RemoveFilesAndRaise;
    sigemptyset(&action.sa_mask);
    for (int iSignal : SIGNALS) {
        struct sigaction previous;
        if (::sigaction(iSignal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        ::sigaction(iSignal, &action, nullptr);
    }
}

}  // namespace

void RemoveOnSignal(const std::string& sPath) {
    if (sPath.size() >= PATH_MAX) return;
    InstallHandlerOnce();
    for (int i = 0; i < SLOTS; ++i) {
        if (g_abUsed[i]) continue;
        std::memcpy(g_aacPaths[i], sPath.c_str(), sPath.size() + 1);
        g_abUsed[i] = 1;  // only now may the handler read the slot
        return;
    }
}

void ForgetOnSignal(const std::string& sPath) {
    for (int i = 0; i < SLOTS; ++i)
        if (g_abUsed[i] && sPath == g_aacPaths[i]) g_abUsed[i] = 0;
}
