#pragma once

// Logging out (SIGHUP) and `kill` (SIGTERM) end the program the way closing its window does, so
// that the window's own handlers run and delete the temporary workbook. The signal only wakes
// the event loop; the handlers run there, on the user-interface thread.

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace pq {

class TerminationSignals : public QObject {
public:
    // `end` runs once, at the first SIGTERM or SIGHUP.
    explicit TerminationSignals(std::function<void()> end);
    ~TerminationSignals() override;

private:
    void received();

    std::function<void()> mEnd;
    QSocketNotifier* mNotifier = nullptr;
    bool mEnded = false;
};

} // namespace pq
