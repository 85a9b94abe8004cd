// Print…, Export PDF… and Export Picture… from the preview: the print preview's choices, the
// remembered paper, cancels that change nothing, files that are never replaced unasked, and
// failures that name the file or printer and the cause. PDFs are checked with pdfinfo and
// pdftotext.

#include "mainwindow/services/appfiles.h"
#include "mainwindow/services/settingsstore.h"
#include "previewfixture.h"
#include "spreadsheet/engine/xls/xlsfile.h"
#include "support/faultydisk.h"
#include "support/samplechart.h"

#include <QApplication>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QTest>

namespace pq::test {
namespace {

QString run(const QString& program, const QStringList& arguments) {
    QProcess p;
    p.start(program, arguments);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString pdfField(const QString& pdf, const QString& field) {
    for (const QString& line : run(QStringLiteral("pdfinfo"), {pdf}).split('\n'))
        if (line.startsWith(field + QLatin1Char(':')))
            return line.mid(field.size() + 1).trimmed();
    return QString();
}

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class ChartOutputTest : public PreviewTest {
protected:
    void showChart(int generations) {
        showSampleChart(generations);
        form->setSettings(&store);
    }
    // The user picks a plan and a paper in the preview and goes on.
    void choose(PageFit fit, Paper paper, int pagesWide = 2) {
        dialogs.onPrintPreview = [=](PrintPreviewRequest& r) {
            r.plan = static_cast<int>(fit);
            r.paper = paperNames().indexOf(paperName(paper));
            r.pagesWide = pagesWide;
            return true;
        };
    }
    QString storedPaper() const {
        return store.GetSetting(kSettingsApplication, kProductTitle, QStringLiteral("Paper"),
                                QStringLiteral("none"));
    }
    // Shortcuts belong to the active window.
    void showActive() {
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    SettingsStore store{dir.filePath(QStringLiteral("settings.ini"))};
};

TEST_F(ChartOutputTest, PrintPreviewOffersThePlansOnTheRememberedPaperAndCancelChangesNothing) {
    showChart(12);
    store.SaveSetting(kSettingsApplication, kProductTitle, QStringLiteral("Paper"),
                      QStringLiteral("Letter"));
    bool printerAsked = false;
    dialogs.onPrintDialog = [&](QPrinter&) { return printerAsked = true; };
    form->PrintButton->click(); // the preview is cancelled
    ASSERT_EQ(dialogs.printPreviews.size(), 1u);
    PrintPreviewRequest shown = dialogs.printPreviews[0];
    EXPECT_EQ(shown.plans.size(), 3);
    EXPECT_EQ(shown.papers.mid(0, 5), QStringList({"A4", "Letter", "Legal", "A3", "Tabloid"}));
    EXPECT_EQ(shown.paper, 1);
    EXPECT_FALSE(printerAsked);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(storedPaper(), QStringLiteral("Letter"));

    // The preview's line and its pages follow the choices: a poster three pages wide.
    shown.plan = static_cast<int>(PageFit::Width);
    shown.pagesWide = 3;
    const QString line = shown.describe(shown);
    EXPECT_TRUE(line.contains(QStringLiteral("(3 across,"))) << line.toStdString();
    QPrinter printer;
    printer.setOutputFileName(dir.filePath(QStringLiteral("preview.pdf")));
    shown.paint(printer, shown);
    EXPECT_TRUE(line.startsWith(pdfField(printer.outputFileName(), "Pages") + " pages"))
        << line.toStdString();
}

TEST_F(ChartOutputTest, PrintsThroughThePrinterOnTheChosenPaperAndRemembersIt) {
    showChart(5);
    choose(PageFit::Page, Paper::Letter);
    const QString out = dir.filePath(QStringLiteral("printed.pdf"));
    dialogs.onPrintDialog = [&](QPrinter& printer) {
        EXPECT_EQ(printer.pageLayout().pageSize().id(), QPageSize::Letter);
        printer.setOutputFileName(out);
        return true;
    };
    showActive();
    QTest::keyClick(form.get(), Qt::Key_P, Qt::ControlModifier);
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.texts().join('\n').toStdString();
    EXPECT_EQ(pdfField(out, "Pages"), QStringLiteral("1"));
    EXPECT_TRUE(pdfField(out, "Page size").contains(QStringLiteral("letter")));
    EXPECT_TRUE(
        run(QStringLiteral("pdftotext"), {out, QStringLiteral("-")}).contains(kSampleTitle));
    EXPECT_EQ(storedPaper(), QStringLiteral("Letter"));
    // The next preview starts from these choices.
    form->PrintButton->click();
    EXPECT_EQ(dialogs.printPreviews.back().plan, static_cast<int>(PageFit::Page));

    // A printer that fails is named, with the cause; the window goes on.
    const QString nowhere = dir.filePath(QStringLiteral("no/such/folder/printed.pdf"));
    dialogs.onPrintDialog = [&](QPrinter& printer) {
        printer.setOutputFileName(nowhere);
        return true;
    };
    form->PrintButton->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith(QStringLiteral("cannot print on ") + nowhere))
        << dialogs.messages[0].text.toStdString();
    EXPECT_TRUE(form->PrintButton->isEnabled());
}

// The system's print dialog has the last word: its paper and turn plan the pages again, and its
// page range prints those pages only.
TEST_F(ChartOutputTest, ThePrintDialogsPaperTurnAndPagesHaveTheLastWord) {
    showChart(12);
    choose(PageFit::Pages, Paper::Letter);
    const QString out = dir.filePath(QStringLiteral("dialog.pdf"));
    dialogs.onPrintDialog = [&](QPrinter& printer) {
        printer.setPageSize(QPageSize(QPageSize::A3));
        printer.setPageOrientation(QPageLayout::Landscape);
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(2, 3);
        printer.setOutputFileName(out);
        return true;
    };
    form->PrintButton->click();
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.texts().join('\n').toStdString();
    ASSERT_EQ(dialogs.printDialogPageCounts.size(), 1u);
    EXPECT_GT(dialogs.printDialogPageCounts[0], 3); // Letter, continued down
    EXPECT_EQ(pdfField(out, "Pages"), QStringLiteral("2"));
    EXPECT_EQ(pdfField(out, "Page size"), QStringLiteral("1191 x 842 pts (A3)")); // turned
    EXPECT_EQ(storedPaper(), QStringLiteral("A3"));
    EXPECT_EQ(dialogs.printPreviews.size(), 1u);
    form->PrintButton->click(); // the next preview starts from the dialog's choices
    ASSERT_EQ(dialogs.printPreviews.size(), 2u);
    EXPECT_EQ(dialogs.printPreviews[1].paper, paperNames().indexOf(QStringLiteral("A3")));

    // A paper the pages cannot be planned for keeps the plan's; a range past the end is cut.
    choose(PageFit::Page, Paper::Letter);
    dialogs.onPrintDialog = [&](QPrinter& printer) {
        printer.setPageSize(QPageSize(QPageSize::B5));
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(1, 40);
        printer.setOutputFileName(out);
        return true;
    };
    form->PrintButton->click();
    EXPECT_EQ(pdfField(out, "Pages"), QStringLiteral("1"));
    EXPECT_TRUE(pdfField(out, "Page size").contains(QStringLiteral("letter")))
        << pdfField(out, "Page size").toStdString();
    EXPECT_EQ(storedPaper(), QStringLiteral("Letter"));
}

TEST_F(ChartOutputTest, ExportPdfSuggestsThePersonInTheLastFolderAndNeverReplacesUnasked) {
    showChart(12);
    choose(PageFit::Width, Paper::A4, 3);
    form->ExportPdfButton->click(); // the file dialog is cancelled
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].fileName,
              QDir::home().filePath(QStringLiteral("Tamsin Orrow.pdf")));
    // After a save the files are offered in its folder.
    QDir(dir.path()).mkdir(QStringLiteral("kept"));
    const QString saved = dir.filePath(QStringLiteral("kept/tree.xls"));
    dialogs.savePaths = {saved};
    form->PushButton6_Click();
    const QString pdf = dir.filePath(QStringLiteral("kept/Tamsin Orrow.pdf"));
    QFile old(pdf);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    dialogs.messages.clear();
    dialogs.savePaths = {pdf};
    dialogs.answers = {MsgResult::No};
    showActive();
    QTest::keyClick(form.get(), Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(dialogs.saveRequests.back().fileName, pdf);
    ASSERT_EQ(dialogs.messages.size(), 1u); // the question, answered No
    EXPECT_EQ(dialogs.messages[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(contents(pdf), QByteArray("old"));

    dialogs.savePaths = {pdf};
    form->ExportPdfButton->click(); // Yes
    EXPECT_EQ(pdfField(pdf, "Pages").toInt() % 3, 0);
    EXPECT_TRUE(pdfField(pdf, "Page size").contains(QStringLiteral("A4")));
    EXPECT_EQ(pdfField(pdf, "Title"), kSampleTitle);
}

TEST_F(ChartOutputTest, PlansBeyondThePageLimitAreWrittenOnlyWhenTheUserSaysSo) {
    showChart(15);
    choose(PageFit::Width, Paper::A4, 20);
    dialogs.answers = {MsgResult::No};
    form->ExportPdfButton->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.contains(QStringLiteral("35,115 pages, more than the "
                                                                 "limit of 1,000")))
        << dialogs.messages[0].text.toStdString();
    EXPECT_TRUE(dialogs.saveRequests.empty()); // nothing asked, nothing written
}

TEST_F(ChartOutputTest, ExportPictureWritesSvgOrPngAndAFailureNamesTheFile) {
    showChart(4);
    const QString svg = dir.filePath(QStringLiteral("tree.svg"));
    const QString png = dir.filePath(QStringLiteral("tree.png"));
    dialogs.savePaths = {svg, png};
    form->ExportPictureButton->click();
    form->ExportPictureButton->click();
    EXPECT_TRUE(contents(svg).contains("<svg"));
    EXPECT_TRUE(contents(png).startsWith("\x89PNG"));
    EXPECT_EQ(dialogs.saveRequests[0].title, kExportPictureTitle);

    const QString nowhere = dir.filePath(QStringLiteral("gone/tree.svg"));
    dialogs.savePaths = {nowhere};
    form->ExportPictureButton->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.contains(nowhere));
    EXPECT_TRUE(dialogs.messages[0].text.contains(QStringLiteral("No such file or directory")));
}

TEST_F(ChartOutputTest, AFailedExportOnAFullDiskKeepsTheOldFile) {
    FullDisk disk;
    if (!disk.whyNot().empty())
        GTEST_SKIP() << disk.whyNot();
    showChart(12);
    choose(PageFit::Pages, Paper::A4);
    disk.fillAfter(QStringLiteral("tree.pdf"), "old pdf");
    dialogs.savePaths = {disk.path(QStringLiteral("tree.pdf"))};
    form->ExportPdfButton->click();
    ASSERT_EQ(dialogs.messages.size(), 2u); // the question, then the failure
    EXPECT_TRUE(dialogs.messages[1].text.contains(QStringLiteral("No space left on device")));
    EXPECT_EQ(contents(disk.path(QStringLiteral("tree.pdf"))), QByteArray("old pdf"));
}

TEST(ChartOutputNames, TheSuggestedNameIsThePersonAsAFileName) {
    EXPECT_EQ(suggestedBaseName(QStringLiteral("Family Tree for Ada King")), "Ada King");
    EXPECT_EQ(suggestedBaseName(QStringLiteral("Family Tree for AC/DC")), "AC_DC");
    EXPECT_EQ(suggestedBaseName(QStringLiteral("Family Tree for ..")), "chart");
    EXPECT_EQ(suggestedBaseName(QString()), "chart");
}

} // namespace
} // namespace pq::test
