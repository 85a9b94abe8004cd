#pragma once

// Form1, the main window and the start-up window: the two inputs of a run (the name and the
// number of generations, remembered in the settings store), "Start Creating Template", Help
// and the sample data, and below them the family file the chart may be filled from. Closing
// it ends the program.

#include "familyfilesession.h"
#include "generation/generationrun.h"
#include "mainwindow/services/appearance.h"
#include "mainwindow/services/pointer.h"
#include "mainwindow/services/pushbutton.h"
#include "website.h"

#include <QCursor>
#include <QWidget>
#include <functional>
#include <optional>

class QGroupBox;
class QLineEdit;

namespace pq {

class DialogService;
class FamilyFileRow;
class PreviewHandOff;
class SettingsStore;

inline const QString kSampleName = QStringLiteral("Tamsin Orrow");
inline constexpr int kSampleGenerations = 5;
inline const QString kHelpText = QStringLiteral("Questions? Please contact Team Quillmere at ");

class Form1 : public QWidget, public MainWindowPort {
    Q_OBJECT
public:
    Form1(DialogService& dialogs, SettingsStore& store, PreviewHandOff& preview,
          QWidget* parent = nullptr);

    // Replaceable actions, so that tests neither run the spreadsheet, open a browser nor end
    // the test program.
    void setStartRunHook(std::function<void()> startRun) { mStartRun = std::move(startRun); }
    void setExitHook(std::function<void()> exit) { mExit = std::move(exit); }
    void setWebsiteHooks(WebsiteHooks hooks) { mWebsite = std::move(hooks); }

    // The start-up, labels 102-132; called once before the window is first shown.
    void Form_Load();

    void PushButton1_Click();
    void PushButton6_Click();
    void PushButton7_Click();
    void Text1_Change();
    void Text2_Change();
    void Text1_GotFocus();
    void Text2_GotFocus();
    void Form_MouseMove();
    void Frame1_MouseMove();
    void Frame2_MouseMove();
    void PushButton_MouseMove();
    void Form_Unload();

    int mousePointer() const { return mMousePointer; }
    const std::optional<QCursor>& mouseIcon() const { return mMouseIcon; }
    GenerationRun& run() { return mRun; }
    FamilyFileSession& familySession() { return mFamily; }

    // MainWindowPort, for the generation run.
    QString text1() const override;
    QString text2() const override;
    void setMousePointer(int pointer) override;
    void focusText2() override;
    void hideWindow() override;
    PreviewHandOff& preview() override { return mPreview; }
    DialogService& dialogs() override { return mDialogs; }
    Paper paper() const override;
    OpenFamilyFile familyFile() const override;
    void chartWarnings(const QList<gedcom::FileWarning>& warnings) override;

    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    PushButton* PushButton1 = nullptr;
    PushButton* PushButton6 = nullptr;
    PushButton* PushButton7 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    FamilyFileRow* FamilyRow = nullptr;
    SkinFramework SkinFramework1;

protected:
    void closeEvent(QCloseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void createControls();
    void connectHandlers();
    void saveText(const QString& key, const QString& text);
    static void selectWholeText(QLineEdit* box);
    void pointOverBackground();

    DialogService& mDialogs;
    SettingsStore& mStore;
    PreviewHandOff& mPreview;
    FamilyFileSession mFamily;
    GenerationRun mRun;
    std::function<void()> mStartRun;
    std::function<void()> mExit;
    WebsiteHooks mWebsite = defaultWebsiteHooks();
    int mMousePointer = kPointerDefault;
    std::optional<QCursor> mMouseIcon; // the custom pointer (99), when the hand cursor loaded
    bool mCentred = false;
};

} // namespace pq
