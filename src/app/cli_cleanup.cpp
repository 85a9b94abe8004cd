#include "cli_cleanup.h"

#include "base/safefile.h"

#include <QtGlobal>
#include <atomic>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <pthread.h>
#include <unistd.h>

namespace pq::cli {

namespace {

constexpr int kEndingSignals[] = {SIGTERM, SIGINT, SIGHUP};

pthread_t gMainThread;
char gRuntimeFolder[PATH_MAX];
std::atomic<bool> gRuntimeFolderMade = false;
static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler reads it");

void removeRuntimeFolder() noexcept {
    if (gRuntimeFolderMade.exchange(false))
        ::rmdir(gRuntimeFolder); // nothing is put in it: only its existence is asked for
}

void endAtSignal(int signal) {
    const int saved = errno;
    // The main thread holds signals back while it gives the outputs their names; a signal that
    // reached another thread waits for that too, so the outputs are all in place or none.
    if (!pthread_equal(pthread_self(), gMainThread)) {
        pthread_kill(gMainThread, signal);
        errno = saved;
        return;
    }
    removeUnfinishedFiles();
    removeRuntimeFolder();
    // Ends as the signal would have, so that the shell sees it; it arrives on return.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    errno = saved;
}

class EndingSignalsHeld {
public:
    EndingSignalsHeld() {
        sigset_t ending;
        sigemptyset(&ending);
        for (const int signal : kEndingSignals)
            sigaddset(&ending, signal);
        pthread_sigmask(SIG_BLOCK, &ending, &mSaved);
    }
    ~EndingSignalsHeld() { pthread_sigmask(SIG_SETMASK, &mSaved, nullptr); }
    EndingSignalsHeld(const EndingSignalsHeld&) = delete;
    EndingSignalsHeld& operator=(const EndingSignalsHeld&) = delete;

private:
    sigset_t mSaved;
};

} // namespace

void cleanUpAtSignals() {
    gMainThread = pthread_self();
    struct sigaction action {};
    action.sa_handler = endAtSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : kEndingSignals)
        sigaddset(&action.sa_mask, signal);
    for (const int signal : kEndingSignals) {
        // A signal the caller ignores (nohup, a background job's SIGINT) stays ignored.
        struct sigaction inherited {};
        if (::sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN)
            continue;
        ::sigaction(signal, &action, nullptr);
    }
}

void usePrivateRuntimeFolderIfNone() {
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return;
    std::error_code error;
    const std::string name =
        (std::filesystem::temp_directory_path(error) / "pedigrafa-XXXXXX").string();
    if (error || name.size() >= sizeof gRuntimeFolder)
        return;
    {
        // Made and remembered as one step, as far as a signal can tell.
        const EndingSignalsHeld held;
        std::memcpy(gRuntimeFolder, name.c_str(), name.size() + 1);
        if (!mkdtemp(gRuntimeFolder))
            return;
        gRuntimeFolderMade = true;
    }
    qputenv("XDG_RUNTIME_DIR", QByteArray(gRuntimeFolder));
    std::atexit([] {
        const EndingSignalsHeld held;
        if (!gRuntimeFolderMade.exchange(false))
            return;
        std::error_code ignored;
        std::filesystem::remove_all(gRuntimeFolder, ignored);
    });
}

} // namespace pq::cli
