#include "generationrun.h"

#include "base/safefile.h"
#include "chartfill.h"
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

QString severalPeoplePrompt(const QString& typed, const gedcom::PersonChoice& choice,
                            const QString& fileName) {
    QString prompt = QStringLiteral("\"%1\" names %2 people in %3. Whose chart shall it be?")
                         .arg(typed.trimmed())
                         .arg(choice.matches)
                         .arg(fileName);
    if (choice.matches > choice.candidates.size())
        prompt += QStringLiteral(" (The first %1 are listed; type more of the name to find "
                                 "the others.)")
                      .arg(choice.candidates.size());
    return prompt;
}

QString noPersonQuestion(const QString& typed, const QString& fileName) {
    const QString who = typed.trimmed();
    const QString missing =
        who.isEmpty() ? QStringLiteral("The name is empty, so it names no one in %1.").arg(fileName)
                      : QStringLiteral("No one in %1 is named \"%2\".").arg(fileName, who);
    return missing + QStringLiteral("\r\n\r\nMake a blank chart for this name instead? "
                                    "(No goes back, to type or choose another name.)");
}
} // namespace

gedcom::PersonChoice chartPersonFor(const OpenFamilyFile& source, const QString& typed) {
    if (!source.file)
        return {};
    if (source.chosen >= 0 &&
        static_cast<std::size_t>(source.chosen) < source.file->people().size())
        return {source.chosen, 1, {}};
    if (typed.trimmed().isEmpty())
        return {};
    return gedcom::choosePerson(*source.file, typed);
}

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
    else {
        ChartFill fill;
        if (settlePerson(g, fill) != Settled::Back &&
            !g.test(106, [&] { return WarnIfExcelOpen(dialogs); }))
            build(g, fill, mWindow.paper()); // the paper as it is when the run starts
    }

    if (!refusal.isEmpty()) {
        g(250, [&] { MsgBox(dialogs, refusal); });
        g(252, [&] { mWindow.focusText2(); });
    }
    g(254, [&] { mBusy = 0; });
}

// Steps 280-286: with a family file open, whom the chart is for. A text that names several
// people never picks one silently: the user chooses among the candidates the command-line
// tool would list. A text that names no one makes the blank chart for that name only when
// the user says so.
GenerationRun::Settled GenerationRun::settlePerson(Guard& g, ChartFill& fill) {
    DialogService& dialogs = mWindow.dialogs();
    OpenFamilyFile source;
    g(280, [&] { source = mWindow.familyFile(); });
    if (!source.file)
        return Settled::Blank;
    const QString typed = mWindow.text1();
    gedcom::PersonChoice choice;
    g(280, [&] { choice = chartPersonFor(source, typed); });
    if (choice.person < 0 && choice.matches > 1) {
        g(282, [&] {
            QStringList items;
            for (const std::int32_t person : choice.candidates)
                items << gedcom::describePerson(*source.file, person);
            const int chosen = dialogs.choose(
                {QString(), severalPeoplePrompt(typed, choice, source.fileName), items});
            if (chosen >= 0 && chosen < static_cast<int>(choice.candidates.size()))
                choice.person = choice.candidates[static_cast<std::size_t>(chosen)];
        });
        if (choice.person < 0)
            return Settled::Back;
    } else if (choice.person < 0) {
        MsgResult answer = MsgResult::No;
        g(284, [&] {
            answer = dialogs.message({noPersonQuestion(typed, source.fileName), QString(),
                                      MsgButtons::YesNo, MsgIcon::None, false});
        });
        return answer == MsgResult::Yes ? Settled::Blank : Settled::Back;
    }
    g(286, [&] {
        fill = fillFor(*source.file, choice.person,
                       static_cast<int>(generationColumnsFor(mWindow.text2())), source.fileName);
        if (!fill.warnings.isEmpty())
            mWindow.chartWarnings(fill.warnings);
    });
    return Settled::Filled;
}

void GenerationRun::build(Guard& g, const ChartFill& fill, Paper paper) {
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
    // A filled chart's title names the person as the file spells them, as the tool's does.
    const bool filled = !fill.name.isEmpty();
    LayOutChartSheet(
        g, sheet,
        {[&] { return filled ? fill.name : mWindow.text1(); }, [this] { return mWindow.text2(); }},
        fill, paper);

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
