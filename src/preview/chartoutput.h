#pragma once

// What the preview window's Print…, Export PDF… and Export Picture… do with the chart it shows:
// a print preview where the page plan, the paper and the turn of the page are chosen, the
// printer through the platform's print dialog, and files written through the safe writer.
// Every dialog goes through the dialog service; a cancel anywhere changes nothing.

#include "base/safefile.h"
#include "generation/pagination.h"
#include "mainwindow/services/dialogs.h"

#include <QString>
#include <memory>

class QPrinter;

namespace pq {

class SettingsStore;

inline const QString kPrintTitle = QStringLiteral("Print");
inline const QString kExportPdfTitle = QStringLiteral("Export PDF");
inline const QString kExportPictureTitle = QStringLiteral("Export Picture");
inline const QString kPdfFilter = QStringLiteral("PDF Files (*.pdf)|*.pdf|");
inline const QString kPictureFilter =
    QStringLiteral("SVG Pictures (*.svg)|*.svg|PNG Pictures (*.png)|*.png|");

// The plans as the preview offers them, in PageFit order.
QStringList pagePlanCaptions();
// The turns as the preview offers them, in PageTurn order.
QStringList pageTurnCaptions();

// The choices of a print preview as page options, and back.
PageOptions pageOptionsOf(const PrintPreviewRequest& choices);
void setChoices(PrintPreviewRequest& request, const PageOptions& options);

// The name a chart's file is offered under: the person of its title ("Family Tree for Ada
// King" gives "Ada King"), without the characters a file name cannot hold.
QString suggestedBaseName(const QString& title);

// The options once the system's print dialog has been shown over a plan made from `options`:
// the paper chosen there where it is one of ours, and the turn chosen there where it differs
// from the plan's.
PageOptions optionsAfterPrintDialog(const PageOptions& options, const PagePlan& plan,
                                    const QPageLayout& chosen);

// The pages (0-based, inclusive) a printer's page range asks for, within `pageCount`; all of
// them when it asks for no range.
std::pair<int, int> pagesToPrint(const QPrinter& printer, int pageCount);

class ChartOutput {
public:
    explicit ChartOutput(DialogService& dialogs);
    ~ChartOutput();

    // The remembered paper lives in `store` (none: the locale's paper, not remembered).
    void setSettings(SettingsStore* store) { mStore = store; }
    // The workbook of the chart shown; read when first needed.
    void setWorkbook(const QString& path);
    // Files are offered in the folder of the last file saved.
    void noteSaved(const QString& path);

    void print();
    void exportPdf();
    void exportPicture();

    // The options of the last plan the user went on with (the next preview starts from them).
    const PageOptions& options() const { return mOptions; }

private:
    struct Chart;
    Chart* chart(); // null after reporting why the workbook cannot be read
    bool choosePlan(const QString& title, const QString& acceptText);
    bool allowPageCount(const PagePlan& plan);
    bool askTarget(const QString& title, const QString& filter, const QString& suffix,
                   QString& path, ExistingFile& existing);
    void report(const QString& text);

    DialogService& mDialogs;
    SettingsStore* mStore = nullptr;
    QString mWorkbook;
    QString mFolder;
    PageOptions mOptions;
    bool mOptionsChosen = false;
    std::unique_ptr<Chart> mChart;
};

} // namespace pq
