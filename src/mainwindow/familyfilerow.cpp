#include "familyfilerow.h"

#include "familyfilesession.h"
#include "mainwindow/services/dialogs.h"
#include "mainwindow/services/pushbutton.h"
#include "personcompleter.h"

#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace pq {

// The warnings of the open file, one row each with its file and line: a window of its own
// that the user keeps beside the main window while mending the file.
class WarningsList : public QDialog {
public:
    explicit WarningsList(QWidget* parent) : QDialog(parent) {
        setObjectName(QStringLiteral("WarningsList"));
        setWindowTitle(QStringLiteral("Problems in the family file"));
        auto* layout = new QVBoxLayout(this);
        mTable = new QTableWidget(0, 3, this);
        mTable->setHorizontalHeaderLabels(
            {QStringLiteral("File"), QStringLiteral("Line"), QStringLiteral("Problem")});
        mTable->horizontalHeader()->setStretchLastSection(true);
        mTable->verticalHeader()->hide();
        mTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
        mTable->setSelectionBehavior(QAbstractItemView::SelectRows);
        mTable->setWordWrap(false);
        layout->addWidget(mTable);
        resize(720, 360);
    }

    void fill(const QList<gedcom::FileWarning>& warnings) {
        mTable->setRowCount(static_cast<int>(warnings.size()));
        for (int row = 0; row < mTable->rowCount(); ++row) {
            const gedcom::FileWarning& w = warnings[row];
            mTable->setItem(row, 0, new QTableWidgetItem(w.file));
            mTable->setItem(row, 1,
                            new QTableWidgetItem(w.line ? QString::number(w.line) : QString()));
            mTable->setItem(row, 2, new QTableWidgetItem(w.text));
        }
        mTable->resizeColumnToContents(0);
        mTable->resizeColumnToContents(1);
    }

    QTableWidget* table() const { return mTable; }

private:
    QTableWidget* mTable;
};

QString familyFileInDrop(const QMimeData& data) {
    const QList<QUrl> urls = data.urls();
    if (urls.size() != 1 || !urls.front().isLocalFile())
        return QString();
    const QString path = urls.front().toLocalFile();
    return path.endsWith(QStringLiteral(".ged"), Qt::CaseInsensitive) ? path : QString();
}

FamilyFileRow::FamilyFileRow(FamilyFileSession& session, DialogService& dialogs, QLineEdit* name,
                             QWidget* parent)
    : QGroupBox(QStringLiteral("Family File (GEDCOM)"), parent), mSession(session),
      mDialogs(dialogs), mName(name) {
    setObjectName(QStringLiteral("FamilyFileRow"));
    OpenButton = new PushButton(QStringLiteral("Open Family File…"), this);
    FileName = new QLineEdit(this);
    CloseButton = new PushButton(QStringLiteral("Close"), this);
    Progress = new QProgressBar(this);
    Target = new QLabel(this);
    Note = new QLabel(this);
    WarningsButton = new PushButton(QStringLiteral("Warnings"), this);
    People = new PersonCompleter(mName, this);

    OpenButton->setObjectName(QStringLiteral("OpenFamilyFile"));
    FileName->setObjectName(QStringLiteral("FamilyFileName"));
    CloseButton->setObjectName(QStringLiteral("CloseFamilyFile"));
    Progress->setObjectName(QStringLiteral("FamilyFileProgress"));
    Target->setObjectName(QStringLiteral("ChartPerson"));
    Note->setObjectName(QStringLiteral("FamilyFileNote"));
    WarningsButton->setObjectName(QStringLiteral("FamilyFileWarnings"));

    OpenButton->setToolTip(QStringLiteral("Fill the chart from a GEDCOM family file (Ctrl+O)"));
    FileName->setReadOnly(true);
    FileName->setFocusPolicy(Qt::ClickFocus);
    FileName->setPlaceholderText(QStringLiteral("none: the chart is blank"));
    Progress->setRange(0, 1000);
    Progress->setTextVisible(false);
    for (QLabel* label : {Target, Note}) {
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(false);
    }
    QPalette notePalette = Note->palette();
    notePalette.setColor(QPalette::WindowText, QColor(0x9c, 0x27, 0x00));
    Note->setPalette(notePalette);
    QFont plain = font();
    plain.setBold(false);
    Target->setFont(plain);
    Note->setFont(plain);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, 4, 8, 6);
    grid->setVerticalSpacing(3);
    grid->addWidget(OpenButton, 0, 0);
    grid->addWidget(FileName, 0, 1);
    grid->addWidget(Progress, 0, 1);
    grid->addWidget(CloseButton, 0, 2);
    grid->addWidget(Target, 1, 0, 1, 3);
    grid->addWidget(Note, 2, 0, 1, 2);
    grid->addWidget(WarningsButton, 2, 2);
    grid->setColumnStretch(1, 1);

    connect(OpenButton, &QPushButton::clicked, this, &FamilyFileRow::openByDialog);
    connect(CloseButton, &QPushButton::clicked, this, &FamilyFileRow::closeOrCancel);
    connect(WarningsButton, &QPushButton::clicked, this, &FamilyFileRow::showWarnings);
    for (PushButton* button : {OpenButton, CloseButton, WarningsButton})
        connect(button, &PushButton::mouseMoved, this, &FamilyFileRow::buttonMouseMoved);
    connect(&mSession, &FamilyFileSession::changed, this, &FamilyFileRow::refresh);
    connect(&mSession, &FamilyFileSession::progressed, this,
            [this] { Progress->setValue(mSession.progress()); });
    connect(mName, &QLineEdit::textChanged, this, &FamilyFileRow::refreshTarget);
    connect(
        People, &PersonCompleter::chosen, this,
        [this](std::int32_t person, const QString& name) { mSession.choosePerson(person, name); });
    refresh();
}

void FamilyFileRow::openByDialog() {
    const auto& current = mSession.current();
    const QString path =
        mDialogs.openFileName({QStringLiteral("Open Family File"),
                               current ? QFileInfo(current->path).absolutePath() : QString(),
                               QStringLiteral("Family Files (*.ged)|*.ged|All Files (*)|*|")});
    if (!path.isEmpty())
        mSession.open(path);
}

void FamilyFileRow::showWarnings() {
    const auto& current = mSession.current();
    if (!current)
        return;
    if (!mWarnings)
        mWarnings = new WarningsList(this);
    mWarnings->fill(mSession.warnings());
    mWarnings->show();
    mWarnings->raise();
    mWarnings->activateWindow();
}

void FamilyFileRow::closeOrCancel() {
    if (mSession.reading())
        mSession.cancel();
    else
        mSession.close();
}

void FamilyFileRow::refresh() {
    const bool reading = mSession.reading();
    const auto& current = mSession.current();
    if (const gedcom::PersonSearch* search = current ? current->search.get() : nullptr;
        search != mSearched) {
        People->setSearch(search);
        mSearched = search;
    }
    FileName->setVisible(!reading);
    Progress->setVisible(reading);
    Progress->setValue(mSession.progress());
    Progress->setFormat(reading ? QFileInfo(mSession.readingPath()).fileName() : QString());
    Progress->setToolTip(reading ? QStringLiteral("Reading %1").arg(mSession.readingPath())
                                 : QString());
    FileName->setText(current ? current->fileName : QString());
    FileName->setToolTip(current ? QDir::toNativeSeparators(current->path) : QString());
    CloseButton->setText(reading ? QStringLiteral("Cancel") : QStringLiteral("Close"));
    CloseButton->setToolTip(reading ? QStringLiteral("Stop reading the file")
                                    : QStringLiteral("Close the family file: charts are blank"));
    CloseButton->setEnabled(reading || current);
    const QList<gedcom::FileWarning> warnings = mSession.warnings();
    const std::size_t problems = mSession.problemCount();
    WarningsButton->setText(problems ? QStringLiteral("Warnings (%1)").arg(problems)
                                     : QStringLiteral("Warnings"));
    WarningsButton->setEnabled(problems != 0);
    Note->setText(
        reading ? QStringLiteral("Reading %1…").arg(QFileInfo(mSession.readingPath()).fileName())
                : mSession.note());
    // An open list follows the open file.
    if (mWarnings && mWarnings->isVisible()) {
        if (current)
            mWarnings->fill(warnings);
        else
            mWarnings->hide();
    }
    refreshTarget();
}

void FamilyFileRow::refreshTarget() {
    mSession.textChanged(mName->text());
    Target->setText(mSession.targetLine(mName->text()));
}

} // namespace pq
