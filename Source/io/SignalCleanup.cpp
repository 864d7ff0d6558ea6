#include "SignalCleanup.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Fixed storage, so that the handler reads no memory that the run may be reallocating, and
// calls nothing but system calls.
constexpr int SLOTS = 16;
enum SlotKind : sig_atomic_t { FREE = 0, FILE_SLOT = 1, DIRECTORY_SLOT = 2 };
char g_aacPaths[SLOTS][PATH_MAX];
volatile sig_atomic_t g_aiKind[SLOTS];
// The handler's buffer for directory entries; the handler blocks every signal it handles, so
// it never runs twice at once.
alignas(struct dirent64) char g_acEntries[8192];

const int SIGNALS[] = {SIGHUP, SIGINT, SIGTERM};

// Set while a thread creates a temporary file and registers it (see SignalHold).
volatile sig_atomic_t g_iCreating = 0;

bool IsDotOrDotDot(const char* pName) {
    return pName[0] == '.' && (pName[1] == '\0' || (pName[1] == '.' && pName[2] == '\0'));
}

// Removes the files of a directory and then the directory. The run's other threads go on while the
// handler runs and may add a file after the listing; the directory is then listed again.
void RemoveDirectoryNow(const char* pPath) {
    for (int iAttempt = 0; iAttempt < 8; ++iAttempt) {
        const int iFd = ::open(pPath, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (iFd < 0) return;
        for (ssize_t iBytes; (iBytes = ::getdents64(iFd, g_acEntries, sizeof g_acEntries)) > 0;) {
            for (ssize_t iAt = 0; iAt < iBytes;) {
                const auto* pEntry = reinterpret_cast<const struct dirent64*>(g_acEntries + iAt);
                if (!IsDotOrDotDot(pEntry->d_name)) ::unlinkat(iFd, pEntry->d_name, 0);
                iAt += pEntry->d_reclen;
            }
        }
        ::close(iFd);
        if (::rmdir(pPath) == 0 || errno != ENOTEMPTY) return;
    }
}

// A file being created is registered within microseconds; the wait is bounded all the same.
void AwaitRegistration() {
    for (int i = 0; g_iCreating != 0 && i < 2000; ++i) {
        const timespec pause{0, 1000000};
        ::nanosleep(&pause, nullptr);
    }
}

extern "C" void RemoveFilesAndRaise(int iSignal) {
    AwaitRegistration();
    for (int i = 0; i < SLOTS; ++i)
        if (g_aiKind[i] == FILE_SLOT) ::unlink(g_aacPaths[i]);
    for (int i = 0; i < SLOTS; ++i)
        if (g_aiKind[i] == DIRECTORY_SLOT) RemoveDirectoryNow(g_aacPaths[i]);
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
    for (int iSignal : SIGNALS) sigaddset(&action.sa_mask, iSignal);
    for (int iSignal : SIGNALS) {
        struct sigaction previous;
        if (::sigaction(iSignal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        ::sigaction(iSignal, &action, nullptr);
    }
}

void Register(const std::string& sPath, SlotKind kind) {
    if (sPath.size() >= PATH_MAX) return;
    InstallHandlerOnce();
    for (int i = 0; i < SLOTS; ++i) {
        if (g_aiKind[i] != FREE) continue;
        std::memcpy(g_aacPaths[i], sPath.c_str(), sPath.size() + 1);
        g_aiKind[i] = kind;  // only now may the handler read the slot
        return;
    }
}

}  // namespace

void RemoveOnSignal(const std::string& sPath) { Register(sPath, FILE_SLOT); }

void RemoveDirectoryOnSignal(const std::string& sPath) { Register(sPath, DIRECTORY_SLOT); }

SignalHold::SignalHold() {
    InstallHandlerOnce();
    sigset_t stopping;
    sigemptyset(&stopping);
    for (int iSignal : SIGNALS) sigaddset(&stopping, iSignal);
    pthread_sigmask(SIG_BLOCK, &stopping, &previousMask);
    g_iCreating = 1;
}

SignalHold::~SignalHold() {
    g_iCreating = 0;
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
}

void ForgetOnSignal(const std::string& sPath) {
    for (int i = 0; i < SLOTS; ++i)
        if (g_aiKind[i] != FREE && sPath == g_aacPaths[i]) g_aiKind[i] = FREE;
}
