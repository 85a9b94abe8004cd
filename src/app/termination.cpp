#include "termination.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace pq {

namespace {

int gWakeUp[2] = {-1, -1}; // the signal handler writes to [1], the event loop reads [0]

void wakeEventLoop(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(gWakeUp[1], &byte, 1);
    errno = saved;
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void()> end) : mEnd(std::move(end)) {
    if (::pipe2(gWakeUp, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // without the pipe the signals keep their default: the process just ends
    mNotifier = new QSocketNotifier(gWakeUp[0], QSocketNotifier::Read, this);
    connect(mNotifier, &QSocketNotifier::activated, this, [this] { received(); });
    struct sigaction action {};
    action.sa_handler = wakeEventLoop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

TerminationSignals::~TerminationSignals() {
    if (!mNotifier)
        return;
    for (const int signal : {SIGTERM, SIGHUP})
        std::signal(signal, SIG_DFL);
    delete mNotifier; // before its descriptor goes
    ::close(gWakeUp[0]);
    ::close(gWakeUp[1]);
}

void TerminationSignals::received() {
    char bytes[16];
    while (::read(gWakeUp[0], bytes, sizeof bytes) > 0) {
    }
    if (mEnded)
        return;
    mEnded = true;
    mEnd();
}

} // namespace pq
