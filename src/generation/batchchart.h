#pragma once

// Charts made without the windows: the command-line tool's work. The same layout and engine as
// the generation run; failures become errors instead of message boxes.

#include "base/safefile.h"
#include "chartpdf.h"
#include "gedcom/familyload.h"

#include <QString>
#include <QStringList>

namespace pq {

struct BatchRequest {
    QString name;
    QString generations;
    QString workbookPath;
    QString picturePath; // optional: .svg or .png
    QString pdfPath;     // optional
    bool force = false;  // overwrite existing files
    PdfOptions pdf;      // how the PDF fits the paper, and the paper of the PDF and workbook
    // Optional: fill the chart from this family-tree file; `name` then chooses the person.
    QString gedcomPath = QString();
    // A PDF of more pages is refused before anything is written.
    int maxPages = kPageLimit;
};

struct BatchResult {
    bool ok = false;
    int exitCode = 0; // 0 done, 1 failed, 2 bad input, 3 would overwrite
    QStringList errors;
    // Problems in the family-tree file.
    QList<gedcom::FileWarning> warnings = {};
};

BatchResult makeChartFiles(const BatchRequest& request);

namespace engine {
class SheetModel;
struct CellRect;
} // namespace engine

// The chart's picture as SVG, or as PNG for a path ending in ".png". Throws Failure.
void writeChartPicture(const engine::SheetModel& sheet, const engine::CellRect& used,
                       const QString& path, ExistingFile existing);

// The chart's title as its title cell holds it.
QString chartTitleOf(const engine::SheetModel& sheet);

} // namespace pq
