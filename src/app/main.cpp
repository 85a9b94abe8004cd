// pedigrafa: starts straight into the main window, with no arguments and nothing else shown.

#include "mainwindow/form1.h"
#include "mainwindow/services/qtdialogs.h"
#include "mainwindow/services/settingsstore.h"
#include "preview/form2.h"
#include "termination.h"

#include <QApplication>
#include <QFile>
#include <cstdio>
#include <cstdlib>

namespace {

// Qt aborts when it cannot open a display; say so plainly instead.
bool displayConfigured() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
#else
    return true;
#endif
}

} // namespace

int main(int argc, char* argv[]) {
    if (!displayConfigured()) {
        std::fputs("pedigrafa: no display to show the window on (neither DISPLAY nor "
                   "WAYLAND_DISPLAY is set). Start it from a desktop session, or under "
                   "xvfb-run.\n",
                   stderr);
        return 2;
    }
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("com.quillmere.Pedigrafa"));
    pq::QtDialogService dialogs;
    pq::SettingsStore store;
    pq::Form1* mainWindow = nullptr;
    // The preview window is made at the first hand-off and lives until the process ends.
    pq::Form2Host preview([&] {
        auto form2 = std::make_unique<pq::Form2>(dialogs);
        form2->setShowForm1([&] { mainWindow->show(); });
        form2->setSettings(&store);
        return form2;
    });
    pq::Form1 form1(dialogs, store, preview);
    mainWindow = &form1;
    form1.Form_Load();
    form1.show();
    // SIGTERM and SIGHUP close whichever window is shown, as its close button would.
    pq::TerminationSignals termination([&] {
        if (preview.created() && preview.form().isVisible())
            preview.form().close();
        else
            form1.close();
    });
    const int status = app.exec();
    // A run still going when the program was told to end may have handed over a workbook
    // after the preview closed; the temporary workbook never outlives the program.
    if (preview.created())
        QFile::remove(preview.form().mExcelFile);
    return status;
}
