#include "generationrun.h"

#include "base/safefile.h"
#include "chartlayout.h"
#include "mainwindow/services/appfiles.h"
#include "mainwindow/services/errorreport.h"
#include "mainwindow/services/pointer.h"
#include "previewhandoff.h"
#include "spreadsheet/excel1.h"
#include "spreadsheet/snapshot.h"

#include <QDir>
#include <QFile>

namespace pq {

namespace {
constexpr int kMaxNameAttempts = 1000;
const QString kNotNumeric = QStringLiteral("Number of generations must be a numeric value.");
} // namespace

void GenerationRun::PushButton1_Click() {
    DialogService& dialogs = mWindow.dialogs();
    Guard g(dialogs, loc::kForm1PushButton1Click);

    if (g.test(100, [&] { return mBusy != 0; }))
        return;
    g(102, [&] { mBusy = -1; });

    // Input that cannot make a chart is refused with a message before anything starts; that
    // includes a chart larger than a 97-2003 sheet.
    QString refusal;
    if (g.test(104, [&] { return !IsNumeric(mWindow.text2()); }))
        refusal = kNotNumeric;
    else if (g.test(104,
                    [&] { return generationColumnsFor(mWindow.text2()) > kMaxGenerationColumns; }))
        refusal = tooManyGenerationsMessage();
    else if (!g.test(106, [&] { return WarnIfExcelOpen(dialogs); }))
        build(g, mWindow.paper()); // the paper as it is when the run starts

    if (!refusal.isEmpty()) {
        g(250, [&] { MsgBox(dialogs, refusal); });
        g(252, [&] { mWindow.focusText2(); });
    }
    g(254, [&] { mBusy = 0; });
}

void GenerationRun::build(Guard& g, Paper paper) {
    xl::Ref<xl::Application> builder;
    xl::Ref<xl::Workbook> workbook;
    g(108, [&] { mWindow.setMousePointer(kPointerHourglass); });
    g(110, [&] { builder = xl::CreateObject(xl::kProgId); });
    g(112, [&] { workbook = builder->workbooks()->add(); });
    g(114, [&] { builder->setVisible(false); });

    xl::Ref<xl::Worksheet> sheet;
    try {
        sheet = workbook->activeSheet();
    } catch (...) {
        // Each step of the layout then reports its own failure.
    }
    LayOutChart(g, sheet, {[this] { return mWindow.text1(); }, [this] { return mWindow.text2(); }});
    SetUpPrinting(g, sheet, paper);

    const QString picturePath = uniquePicturePath();
    QString refusal;
    const QString path = claimTemporaryWorkbook(g, refusal);
    g(214, [&] {
        if (!refusal.isEmpty())
            throw Failure(refusal);
        try {
            workbook->saveAs(path, GetSaveFileFormat(builder));
        } catch (...) {
            // The claimed file is empty: after a failed save it must not pass for the chart.
            QFile::remove(path);
            throw;
        }
    });
    g(216, [&] { builder->setDisplayAlerts(false); });
    g(218, [&] { workbook->close(); });
    g(220, [&] { builder->quit(); });
    g(222, [&] {
        builder.reset();
        workbook.reset();
        sheet.reset();
    });

    xl::Ref<xl::Application> viewer;
    xl::Ref<xl::Workbook> saved;
    g(224, [&] { viewer = OpenExcelWorkbook(path); });
    g(226, [&] { mWindow.setMousePointer(kPointerHourglass); });
    g(228, [&] { saved = viewer->workbooks()->item(viewer->workbooks()->count()); });
    g(230, [&] { saveCellsActivesheet(mWindow.dialogs(), saved, picturePath); });
    g(232, [&] { viewer->setDisplayAlerts(false); });
    g(234, [&] { saved->close(); });
    g(236, [&] { viewer->quit(); });
    g(238, [&] { mWindow.setMousePointer(kPointerDefault); });
    viewer.reset();

    g(240, [&] { mWindow.preview().setPicture(Picture::load(picturePath)); });
    g(242, [&] { mWindow.preview().setExcelFile(path); });
    g(244, [&] { mWindow.preview().showPreview(); });
    g(246, [&] { mWindow.hideWindow(); });
    g(248, [&] { KillFile(picturePath); });
}

// Steps 198-212: draws names until one is new, and claims it by creating the file exclusively, so
// that a name taken meanwhile by another copy of the program is never reused. Only a claimed
// file is ever saved: otherwise `refusal` says why the save cannot happen (a folder where
// nothing can be created, or no free name), and a name that belongs to someone else's file is
// not handed on.
QString GenerationRun::claimTemporaryWorkbook(Guard& g, QString& refusal) {
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        QString name;
        QString path;
        g(198, [&] { name = QStringLiteral("qorrow"); });
        g(200, [&] { name = drawWorkbookBaseName(mDrawDigit); });
        g(210,
          [&] { path = temporaryFolder() + QDir::separator() + name + QStringLiteral(".xls"); });
        if (g.test(212, [&] { return FileExists(path); }))
            continue;
        int claimError = 0;
        if (claimFile(path, &claimError))
            return path;
        if (!FileExists(path)) { // nothing can be created in the folder
            refusal = WriteFailure(path, claimError).description();
            return path;
        }
    }
    refusal = QStringLiteral("cannot write a temporary workbook in %1: the %2 names drawn were "
                             "all taken")
                  .arg(temporaryFolder())
                  .arg(kMaxNameAttempts);
    return QString();
}

} // namespace pq
