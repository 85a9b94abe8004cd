// Opens a family-tree file through the main window's family-file session, as the window does,
// with a 10 ms timer ticking on the user-interface thread: prints the time from the open to a
// searchable file, the longest gap between two ticks (how long the window could not answer),
// and the process's peak resident memory against the file's size:
//   window_family_file FILE

#include "mainwindow/familyfilesession.h"
#include "mainwindow/services/dialogs.h"
#include "mainwindow/services/settingsstore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>

namespace {

double peakResidentMB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

class PrintedDialogs final : public pq::DialogService {
public:
    pq::MsgResult message(const pq::MessageRequest& request) override {
        std::fprintf(stderr, "%s\n", qPrintable(request.text));
        return pq::MsgResult::Ok;
    }
    QString saveFileName(const pq::SaveDialogRequest&) override { return QString(); }
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: window_family_file FILE\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir dir;
    pq::SettingsStore store(dir.filePath(QStringLiteral("store.ini")));
    PrintedDialogs dialogs;
    pq::FamilyFileSession session(dialogs, store);
    const double beforeMB = peakResidentMB();

    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 longestGap = 0;
    QTimer ticks;
    ticks.setInterval(10);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
    });
    qint64 searchable = -1;
    QObject::connect(&session, &pq::FamilyFileSession::changed, [&] {
        if (session.current() && searchable < 0) {
            searchable = clock.elapsed();
            // A few more ticks after the hand-over, which happens on this thread.
            QTimer::singleShot(200, &app, &QApplication::quit);
        } else if (!session.reading() && !session.current()) {
            QApplication::exit(1);
        }
    });
    clock.start();
    ticks.start();
    session.open(path);
    if (app.exec() != 0)
        return 1;
    const double fileMB = QFileInfo(path).size() / (1024.0 * 1024.0);
    std::printf("%s: %.1f MB, %zu people\n", argv[1], fileMB,
                session.current()->file->people().size());
    std::printf("open to searchable: %lld ms\n", static_cast<long long>(searchable));
    std::printf("longest event-loop stall (10 ms timer): %lld ms\n",
                static_cast<long long>(longestGap));
    std::printf("peak resident: %.0f MB (%.0f MB before), %.2f x the file\n", peakResidentMB(),
                beforeMB, (peakResidentMB() - beforeMB) / fileMB);
    return 0;
}
