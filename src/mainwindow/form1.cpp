#include "form1.h"

#include "familyfilerow.h"
#include "mainwindow/services/dialogs.h"
#include "mainwindow/services/errorreport.h"
#include "mainwindow/services/screenfit.h"
#include "mainwindow/services/settingsstore.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QMetaObject>
#include <QMimeData>
#include <QScreen>
#include <QShortcut>

namespace pq {

namespace {
// The designer's layout is in twips, 15 to a pixel at 96 dots per inch; Qt's device-independent
// pixels keep the proportions on high-DPI screens.
constexpr int px(int twips) {
    return twips / 15;
}
QRect twipsRect(int left, int top, int width, int height) {
    return {px(left), px(top), px(width), px(height)};
}

void setWhiteBackground(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, Qt::white);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

const QString kText1Key = QStringLiteral("Text1");
const QString kText2Key = QStringLiteral("Text2");

// The family-file row sits below the designer's two frames; the window grows to hold it.
constexpr int kFamilyRowTop = 2970;
constexpr int kFamilyRowHeight = 1500;
constexpr int kWindowHeight = kFamilyRowTop + kFamilyRowHeight + 120;
} // namespace

Form1::Form1(DialogService& dialogs, SettingsStore& store, PreviewHandOff& preview, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      mDialogs(dialogs), mStore(store), mPreview(preview), mFamily(dialogs, store), mRun(*this),
      mStartRun([this] { mRun.PushButton1_Click(); }), mExit([] { QCoreApplication::exit(0); }) {
    setObjectName(QStringLiteral("Form1"));
    setFixedSize(px(8040), px(kWindowHeight));
    setAcceptDrops(true);
    setFont(windowFont());
    setWhiteBackground(this);
    setMouseTracking(true);
    createControls();
    connectHandlers();
    // On a screen too small for the window, its contents scroll inside it.
    ScreenFit::install(this);
}

void Form1::createControls() {
    Frame1 = new QGroupBox(QStringLiteral("Family Tree For"), this);
    Frame2 = new QGroupBox(QStringLiteral("Number Of Generations (Including Youself)"), this);
    Text1 = new QLineEdit(Frame1);
    Text2 = new QLineEdit(Frame2);
    PushButton1 = new PushButton(QStringLiteral("Start Creating Template"), this);
    PushButton6 = new PushButton(QStringLiteral("Help"), this);
    PushButton7 = new PushButton(QStringLiteral("Load Sample/Example Data"), this);

    Text1->setObjectName(QStringLiteral("Text1"));
    Text2->setObjectName(QStringLiteral("Text2"));
    PushButton1->setObjectName(QStringLiteral("PushButton1"));
    PushButton6->setObjectName(QStringLiteral("PushButton6"));
    PushButton7->setObjectName(QStringLiteral("PushButton7"));
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame2->setObjectName(QStringLiteral("Frame2"));

    Text1->setGeometry(twipsRect(240, 300, 7335, 375));
    Text2->setGeometry(twipsRect(240, 300, 7335, 375));
    PushButton1->setGeometry(twipsRect(120, 120, 7800, 405));
    PushButton6->setGeometry(twipsRect(120, 630, 3840, 405));
    PushButton7->setGeometry(twipsRect(4080, 630, 3840, 405));
    Frame1->setGeometry(twipsRect(120, 1110, 7800, 855));
    Frame2->setGeometry(twipsRect(120, 2040, 7800, 855));

    for (PushButton* button : {PushButton1, PushButton6, PushButton7})
        button->setFont(buttonFont());
    PushButton1->setToolTip(QStringLiteral("Build the chart workbook and preview it (Enter)"));
    PushButton6->setToolTip(QStringLiteral("How to reach us with questions"));
    PushButton7->setToolTip(QStringLiteral("Fill in the sample name and number of generations"));
    for (QGroupBox* frame : {Frame1, Frame2}) {
        setWhiteBackground(frame);
        frame->setMouseTracking(true);
    }

    setTabOrder(Text1, Text2);
    setTabOrder(Text2, PushButton1);
    setTabOrder(PushButton1, PushButton6);
    setTabOrder(PushButton6, PushButton7);

    FamilyRow = new FamilyFileRow(mFamily, mDialogs, Text1, this);
    FamilyRow->setGeometry(twipsRect(120, kFamilyRowTop, 7800, kFamilyRowHeight));
    setWhiteBackground(FamilyRow);
    setTabOrder(PushButton7, FamilyRow->OpenButton);
    setTabOrder(FamilyRow->OpenButton, FamilyRow->CloseButton);
    setTabOrder(FamilyRow->CloseButton, FamilyRow->WarningsButton);
    // The window opens with the focus in Text1.
    Text1->setFocus();
}

void Form1::connectHandlers() {
    connect(PushButton1, &QPushButton::clicked, this, &Form1::PushButton1_Click);
    connect(PushButton6, &QPushButton::clicked, this, &Form1::PushButton6_Click);
    connect(PushButton7, &QPushButton::clicked, this, &Form1::PushButton7_Click);
    for (PushButton* button : {PushButton1, PushButton6, PushButton7})
        connect(button, &PushButton::mouseMoved, this, &Form1::PushButton_MouseMove);
    // textChanged, unlike textEdited, also reports the changes made by the program.
    connect(Text1, &QLineEdit::textChanged, this, &Form1::Text1_Change);
    connect(Text2, &QLineEdit::textChanged, this, &Form1::Text2_Change);
    // Enter in either box (main or keypad key) starts the run as the button does.
    connect(Text1, &QLineEdit::returnPressed, this, &Form1::PushButton1_Click);
    connect(Text2, &QLineEdit::returnPressed, this, &Form1::PushButton1_Click);
    for (QObject* watched : std::initializer_list<QObject*>{Text1, Text2, Frame1, Frame2})
        watched->installEventFilter(this);
    connect(FamilyRow, &FamilyFileRow::buttonMouseMoved, this, &Form1::PushButton_MouseMove);
    auto* open = new QShortcut(QKeySequence::Open, this);
    connect(open, &QShortcut::activated, FamilyRow, &FamilyFileRow::openByDialog);
}

void Form1::Form_Load() {
    Guard g(mDialogs, loc::kForm1FormLoad);
    g(102, [&] { ApplySkin(this, SkinFramework1); });
    g(104, [&] { setWindowTitle(kProductTitle); });
    g(104, [&] { setWindowIcon(appIcon()); });
    g(104, [&] { SetAppTitle(); });
    if (g.test(106, [&] { return FileExists(handCursorPath()); })) {
        g(108, [&] {
            mMouseIcon = loadCursorFile(handCursorPath());
            setMousePointer(mMousePointer); // shows the new picture if 99 is already set
        });
    }
    g(110, [&] { MaybeOpenWebsite(mWebsite); });
    g(128, [&] {
        Text1->setText(
            mStore.GetSetting(kSettingsApplication, kProductTitle, kText1Key, kSampleName));
    });
    g(130, [&] {
        Text2->setText(mStore.GetSetting(kSettingsApplication, kProductTitle, kText2Key,
                                         QString::number(kSampleGenerations)));
    });
    g(132, [&] { mFamily.openRemembered(); });
}

Paper Form1::paper() const {
    return rememberedPaper(mStore);
}

void Form1::PushButton1_Click() {
    mStartRun();
}

void Form1::PushButton6_Click() {
    Guard g(mDialogs, loc::kForm1PushButton6Click);
    g(100, [&] { MsgBox(mDialogs, kHelpText + kContactPageAddress); });
}

void Form1::PushButton7_Click() {
    Guard g(mDialogs, loc::kForm1PushButton7Click);
    g(100, [&] { Text1->setText(kSampleName); });
    g(102, [&] { Text2->setText(QString::number(kSampleGenerations)); });
}

void Form1::Text1_Change() {
    saveText(kText1Key, Text1->text());
}
void Form1::Text2_Change() {
    saveText(kText2Key, Text2->text());
}

void Form1::saveText(const QString& key, const QString& text) {
    // The change handlers have no error report: a write that fails is dropped and the box
    // keeps its text; the next change writes the whole text again.
    try {
        mStore.SaveSetting(kSettingsApplication, kProductTitle, key, text);
    } catch (const std::exception& failure) {
        qWarning("settings store: %s could not be written: %s", qPrintable(key), failure.what());
    }
}

void Form1::Text1_GotFocus() {
    selectWholeText(Text1);
}
void Form1::Text2_GotFocus() {
    selectWholeText(Text2);
}

void Form1::selectWholeText(QLineEdit* box) {
    box->selectAll();
    // A mouse click that brought the focus places the text cursor right after this handler
    // and would drop the selection; selecting once more after that click keeps it.
    QMetaObject::invokeMethod(box, &QLineEdit::selectAll, Qt::QueuedConnection);
}

void Form1::Form_MouseMove() {
    pointOverBackground();
}
void Form1::Frame1_MouseMove() {
    pointOverBackground();
}
void Form1::Frame2_MouseMove() {
    pointOverBackground();
}

void Form1::pointOverBackground() {
    setMousePointer(pointerAfterHover(mMousePointer, kPointerDefault));
}

void Form1::PushButton_MouseMove() {
    setMousePointer(pointerAfterHover(mMousePointer, kPointerCustom));
}

void Form1::Form_Unload() {
    mExit();
}

QString Form1::text1() const {
    return Text1->text();
}
QString Form1::text2() const {
    return Text2->text();
}

void Form1::setMousePointer(int pointer) {
    mMousePointer = pointer;
    setCursor(cursorForPointer(pointer, mMouseIcon));
}

OpenFamilyFile Form1::familyFile() const {
    return mFamily.forRun(Text1->text());
}

void Form1::chartWarnings(const QList<gedcom::FileWarning>& warnings) {
    mFamily.addChartWarnings(warnings);
}

void Form1::focusText2() {
    Text2->setFocus(Qt::OtherFocusReason);
}
void Form1::hideWindow() {
    hide();
}

void Form1::closeEvent(QCloseEvent* event) {
    event->accept();
    Form_Unload();
}

void Form1::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
    Form_MouseMove();
}

void Form1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (mCentred)
        return;
    mCentred = true;
    if (const QScreen* s = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(s->availableGeometry().center());
        move(frame.topLeft());
    }
}

void Form1::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData() && !familyFileInDrop(*event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent* event) {
    const QString path = event->mimeData() ? familyFileInDrop(*event->mimeData()) : QString();
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    mFamily.open(path);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        if (watched == Text1)
            Text1_GotFocus();
        else if (watched == Text2)
            Text2_GotFocus();
    } else if (event->type() == QEvent::MouseMove) {
        if (watched == Frame1)
            Frame1_MouseMove();
        else if (watched == Frame2)
            Frame2_MouseMove();
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace pq
