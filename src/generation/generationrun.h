#pragma once

// The generation run behind "Start Creating Template": builds the chart workbook with the
// spreadsheet engine, saves it as a temporary workbook, has its picture taken and hands both to
// the preview window. It runs inside the click, on the user-interface thread.

#include "base/numeric.h"
#include "gedcom/familyload.h"
#include "gedcom/pedigree.h"
#include "mainwindow/services/dialogs.h"
#include "paper.h"
#include "tempfiles.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

namespace pq {

class Guard;
class PreviewHandOff;
struct ChartFill;

// The family-tree file the main window has open, as a run takes it when it starts. The run
// keeps the file alive, so that opening another file, or changing this one on the disk,
// changes nothing in a run under way.
struct OpenFamilyFile {
    std::shared_ptr<const gedcom::FamilyFile> file; // null: no file is open
    QString fileName;                               // as messages and warnings name it
    std::int32_t chosen = -1; // the person chosen from the list for the text of Text1, or -1
};

// Whom a chart from `source` is for when Text1 holds `typed`: the person chosen from the list,
// else the person the text names as the command-line tool reads it (a cross-reference or a
// name); an empty text names no one.
gedcom::PersonChoice chartPersonFor(const OpenFamilyFile& source, const QString& typed);

// The main window as the run sees it.
class MainWindowPort {
public:
    virtual ~MainWindowPort() = default;
    virtual QString text1() const = 0; // "Family Tree For"
    virtual QString text2() const = 0; // "Number Of Generations (Including Youself)"
    virtual void setMousePointer(int pointer) = 0;
    virtual void focusText2() = 0;
    virtual void hideWindow() = 0;
    virtual PreviewHandOff& preview() = 0;
    virtual DialogService& dialogs() = 0;
    // The paper the user chose last; the workbook's page set-up names it.
    virtual Paper paper() const { return localePaper(); }
    // The family-tree file the chart is filled from; none by default.
    virtual OpenFamilyFile familyFile() const { return {}; }
    // Problems met while gathering a filled chart's ancestors (a person who is their own
    // ancestor), each naming the file and line.
    virtual void chartWarnings(const QList<gedcom::FileWarning>&) {}
};

class GenerationRun {
public:
    explicit GenerationRun(MainWindowPort& window) : mWindow(window) {}

    // The run, labels 100-254; with a family file open, labels 280-290 settle the chart's
    // person before the chart is laid out and fill in the ancestors. A second call while one
    // is in progress returns at once.
    void PushButton1_Click();

    Int16 mBusy = 0; // -1 while a run is in progress

    // Where the digits of the temporary workbook's name come from (1 to 9 each).
    void setDigitSource(std::function<int()> draw) { mDrawDigit = std::move(draw); }

private:
    enum class Settled { Blank, Filled, Back };
    Settled settlePerson(Guard& g, ChartFill& fill);
    void build(Guard& g, const ChartFill& fill, Paper paper);
    QString claimTemporaryWorkbook(Guard& g, QString& refusal);

    MainWindowPort& mWindow;
    std::function<int()> mDrawDigit = drawNameDigit;
};

// The largest number of generation columns a 97-2003 sheet holds: 2^15 + 3 rows.
inline constexpr int kMaxGenerationColumns = 15;

} // namespace pq
