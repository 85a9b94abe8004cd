#pragma once

// The generation run behind "Start Creating Template": builds the chart workbook with the
// spreadsheet engine, saves it as a temporary workbook, has its picture taken and hands both to
// the preview window. It runs inside the click, on the user-interface thread.

#include "base/numeric.h"
#include "mainwindow/services/dialogs.h"
#include "paper.h"
#include "tempfiles.h"

#include <QString>
#include <functional>

namespace pq {

class Guard;
class PreviewHandOff;

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
};

class GenerationRun {
public:
    explicit GenerationRun(MainWindowPort& window) : mWindow(window) {}

    // The run, labels 100-254. A second call while one is in progress returns at once.
    void PushButton1_Click();

    Int16 mBusy = 0; // -1 while a run is in progress

    // Where the digits of the temporary workbook's name come from (1 to 9 each).
    void setDigitSource(std::function<int()> draw) { mDrawDigit = std::move(draw); }

private:
    void build(Guard& g, Paper paper);
    QString claimTemporaryWorkbook(Guard& g, QString& refusal);

    MainWindowPort& mWindow;
    std::function<int()> mDrawDigit = drawNameDigit;
};

// The largest number of generation columns a 97-2003 sheet holds: 2^15 + 3 rows.
inline constexpr int kMaxGenerationColumns = 15;

} // namespace pq
