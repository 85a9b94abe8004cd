#pragma once

// The preview window: shows the chart's picture in a fixed viewport, zooms it in quarter steps
// from 0.25 to 4.0, moves it with the scroll bars or by dragging, and offers the ways out:
// saving the temporary workbook under a chosen name, going back to the main window, closing.

#include "base/numeric.h"
#include "chartfind.h"
#include "chartoutput.h"
#include "generation/previewhandoff.h"
#include "mainwindow/services/dialogs.h"
#include "picturebox.h"
#include "previewmath.h"

#include <QCursor>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QScrollBar;
class QWheelEvent;

namespace pq {

class PushButton;
class SettingsStore;

inline const QString kSaveDialogTitle = QStringLiteral("Save File");
inline const QString kSaveDialogFilter = QStringLiteral("Excel Files (*.xls)|*.xls|");
inline const QString kOverwriteQuestion = QStringLiteral("Are you sure you wish to overwrite ");
inline const QString kDoneMessage = QStringLiteral("Done.");
// The status line after a zoom press that the chart's size refused; the factor stays unseen.
inline const QString kZoomInRefused =
    QStringLiteral("The chart is too large to draw any larger: it stays as it is.");
inline const QString kZoomOutRefused = QStringLiteral(
    "The chart is still too large to draw at this size: it stays as it is. Zoom Out again.");

class Form2 : public QWidget, public PreviewHandOff {
    Q_OBJECT
public:
    // Creates the controls and runs Form_Load.
    explicit Form2(DialogService& dialogs, QWidget* parent = nullptr);

    // The hand-off of a generation run: picture, workbook path, show.
    void setPicture(const Picture& picture) override;
    void setExcelFile(const QString& path) override;
    void showPreview() override;

    // Wiring done by whoever creates the window.
    void setShowForm1(std::function<void()> show) { mShowForm1 = std::move(show); }
    // The quiet delete used for the temporary workbook (yields once, deletes, never throws).
    void setKillFile(std::function<void(const QString&)> kill) { mKillFile = std::move(kill); }
    // What ends the process once the window has closed.
    void setEndProcess(std::function<void()> end) { mEndProcess = std::move(end); }
    // Where the paper chosen for printing is remembered.
    void setSettings(SettingsStore* store) { mOutput.setSettings(store); }
    // Print…, Export PDF… and Export Picture…: the work is the output unit's.
    ChartOutput& output() { return mOutput; }

    // The window's mouse pointer: 0 the arrow, 11 the hourglass, 99 the custom pointer.
    int MousePointer() const { return mMousePointer; }
    void setMousePointer(int pointer);
    bool hasCustomPointer() const { return mMouseIcon.has_value(); }

    // Event handlers.
    void Form_Load();
    void Form_Activate();
    void Form_QueryUnload();
    void Form_Unload();
    void Form_MouseMove();
    void Frame1_MouseMove();
    void PushButton1_Click();
    void PushButton2_Click();
    void PushButton6_Click();
    void PushButton8_Click();
    void PushButton1_MouseMove();
    void PushButton2_MouseMove();
    void PushButton6_MouseMove();
    void PushButton8_MouseMove();
    void HScroll1_Change();
    void VScroll1_Change();
    // button and shift are masks (left 1, right 2, middle 4; shift 1, ctrl 2, alt 4); x and y
    // are pixels relative to Picture1.
    void Picture1_MouseDown(std::int16_t button, std::int16_t shift, float x, float y);
    void Picture1_MouseMove(std::int16_t button, std::int16_t shift, float x, float y);
    void Picture1_MouseUp(std::int16_t button, std::int16_t shift, float x, float y);

    // Keys that move the picture: a page up or down (direction -1 or 1), to the top or bottom
    // (and, with `sideways`, to the left or right edge as well).
    void pageKey(int direction);
    void edgeKey(bool toEnd, bool sideways);
    // Find in the chart: opens the field, looks for its text from the start, goes to the next
    // (or previous) box that holds it, closes the field.
    void openFind();
    void findFromStart();
    void findNext(bool backwards = false);
    void closeFind();

    // Zoom and scroll procedures; failures go to the calling handler.
    void ZoomStep(std::int32_t direction);
    void SetZoom(float factor);
    bool DrawZoomed(); // true when it redrew
    void SetupScrollbars();
    void SetHScrollbarByPercent(QScrollBar* HScrollbar, std::int16_t percent);
    void SetVScrollbarByPercent(QScrollBar* VScrollbar, std::int16_t percent);

    // Controls, in tab order.
    QScrollBar* HScroll1 = nullptr;
    QScrollBar* VScroll1 = nullptr;
    QFrame* Picture2 = nullptr; // the viewport
    PictureBox* Picture1 = nullptr;
    QGroupBox* Frame1 = nullptr;
    PictureBox* Zoom_Ori = nullptr; // the untouched copy, never visible
    PushButton* PushButton1 = nullptr;
    PushButton* PushButton2 = nullptr;
    PushButton* PushButton6 = nullptr;
    PushButton* PushButton8 = nullptr;
    // The row below the buttons: what the window has to say, and the find field (Ctrl+F).
    QLabel* StatusLine = nullptr;
    QLineEdit* FindField = nullptr;
    // The printing row below the seed's controls.
    PushButton* PrintButton = nullptr;
    PushButton* ExportPdfButton = nullptr;
    PushButton* ExportPictureButton = nullptr;

    // Window state.
    QString mExcelFile;
    Int16 mFirstActivate = 0; // -1: the set-up runs at the next activation
    float mZoom = 1.0f;
    std::int32_t mOrigWidth = 0;
    std::int32_t mOrigHeight = 0;
    std::int32_t mWidth = 0;
    std::int32_t mHeight = 0;
    Int16 mHStep = 0;
    Int16 mVStep = 0;
    float mStartX = 0.0f;
    float mStartY = 0.0f;
    // Pixels the picture lies off each bar's grid after a drop (see dropOnBar).
    std::int32_t mHRemainder = 0;
    std::int32_t mVRemainder = 0;

    // The inside of the viewport (within Picture2's frame); Picture1 moves in it.
    QWidget* viewportInside() const { return mViewportInside; }

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createViewport();
    void createButtons();
    void setTabOrderOfControls();
    void createShortcuts();
    void viewportWheel(const QWheelEvent& event);
    void wheelZoom(int delta);
    void wheelScroll(QScrollBar* bar, Int16 step, WheelSteps& steps, int delta);
    void showPointerUnlessBusy(int pointer);
    bool picture1MouseEvent(QEvent* event);
    void setScrollbarByPercent(QScrollBar* bar, std::int16_t percent);
    void dropOnScrollbar(QScrollBar* bar, Int16 step, std::int32_t& remainder, int position,
                         int pictureOuter, int viewportOuter);
    void placeAlongBar(QScrollBar* bar);
    void moveBarTo(QScrollBar* bar, int value);
    void createFindRow();
    void createOutputRow();
    void layOutFindRow();
    void showStatus(const QString& text);
    bool findFieldEvent(QEvent* event);
    bool loadChartTexts();
    void showFound(const ChartFind::Found& found);
    void scrollToShow(const QRectF& part);

    DialogService& mDialogs;
    QWidget* mViewportInside = nullptr;
    std::function<void()> mShowForm1;
    std::function<void(const QString&)> mKillFile;
    std::function<void()> mEndProcess;
    ChartOutput mOutput{mDialogs};
    std::optional<QCursor> mMouseIcon;
    int mMousePointer = 0;
    bool mActivating = false;
    bool mPlaced = false;
    WheelSteps mZoomWheel;
    WheelSteps mHWheel;
    WheelSteps mVWheel;
    // The chart's texts, read from the workbook at the first search after a hand-off.
    std::optional<ChartFind> mChartTexts;
    std::optional<std::size_t> mFoundIndex;
};

// Holds the one preview window of the process: creates (and so loads) it the first time a run
// touches it, and keeps it, hidden between runs, until the process ends.
class Form2Host final : public PreviewHandOff {
public:
    using Factory = std::function<std::unique_ptr<Form2>()>;
    explicit Form2Host(Factory make) : mMake(std::move(make)) {}

    Form2& form();
    bool created() const { return static_cast<bool>(mForm); }

    void setPicture(const Picture& picture) override { form().setPicture(picture); }
    void setExcelFile(const QString& path) override { form().setExcelFile(path); }
    void showPreview() override { form().showPreview(); }

private:
    Factory mMake;
    std::unique_ptr<Form2> mForm;
};

} // namespace pq
