#pragma once

// Charts filled from a family-tree (GEDCOM) file: the chosen person, whose box is whose, and
// the names and life years written into the laid-out chart through the automation interface,
// so that the cell plan stays the blank chart's.

#include "chartlayout.h"
#include "gedcom/familyload.h"
#include "mainwindow/services/errorreport.h"
#include "spreadsheet/automation.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <utility>
#include <vector>

namespace pq {

namespace gedcom {
class FamilyFile;
}

struct BoxText {
    int ahnentafel = 1; // 1 the person, 2k and 2k + 1 the father and mother of k
    QString name;
    QString years; // "1815–1852", "b. 1815", "d. 1852"; empty when no year is known
};

struct ChartFill {
    QString name; // the chosen person's name, for the title
    int columns = 0;
    std::vector<BoxText> boxes; // the known ancestors only
    QList<gedcom::FileWarning> warnings;
};

struct PreparedFill {
    QStringList errors; // bad input: the file cannot be read or does not name one person
    ChartFill fill;
};

// Reads the family-tree file and chooses the person `who` names (a cross-reference such as
// "@I12@", or a name); gathers the ancestors for a chart of `columns` generation columns.
PreparedFill prepareChartFill(const QString& gedcomPath, const QString& who, int columns);

// The chart of `person` from a file already read (`fileName` names it in the warnings): the
// name for the title and the ancestors' boxes; the file's own warnings are not repeated.
ChartFill fillFor(const gedcom::FamilyFile& file, std::int32_t person, int columns,
                  const QString& fileName);

// Row and column of the box of Ahnentafel number `ahnentafel` in a chart of `columns` columns:
// the column for generation d (the person 0) holds numbers 2^d to 2^(d+1) - 1, top to bottom.
std::pair<int, int> boxCell(int ahnentafel, int columns);

// Writes each known ancestor's name into their box (label 288) and the life years into the
// cell below it (label 290). Every generation column is made 24 characters wide (label 292)
// and the title, names and years shrink to fit their cells (label 294), so that no name is
// cut off on the screen or on paper. A blank chart (no columns to fill) is left as it is.
void FillChart(Guard& g, const xl::Ref<xl::Worksheet>& sheet, const ChartFill& fill);

// The whole sheet of a chart, blank or filled, as both the window's run and the command-line
// tool make it: the layout, the known ancestors, then the page set-up. The title names
// `inputs.text1()`.
void LayOutChartSheet(Guard& g, const xl::Ref<xl::Worksheet>& sheet, const ChartInputs& inputs,
                      const ChartFill& fill, Paper paper);

} // namespace pq
