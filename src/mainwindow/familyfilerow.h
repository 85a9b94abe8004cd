#pragma once

// The main window's family-file row, below the two inputs: the button that opens a family
// file (also Ctrl+O, or a .ged file dropped on the window), the open file's name and the way
// back to no file, the progress of a read with its Cancel, the line that says whom the chart
// will be for, and the file's warnings. What it shows comes from a FamilyFileSession.

#include <QGroupBox>
#include <QString>

class QLabel;
class QLineEdit;
class QMimeData;
class QProgressBar;

namespace pq {

class DialogService;
class FamilyFileSession;
class PersonCompleter;
class PushButton;
class WarningsList;

// The family file that a drag carries: one local .ged file, or "" for anything else.
QString familyFileInDrop(const QMimeData& data);

class FamilyFileRow : public QGroupBox {
    Q_OBJECT
public:
    // `name` is the box whose text names the chart's person (Text1).
    FamilyFileRow(FamilyFileSession& session, DialogService& dialogs, QLineEdit* name,
                  QWidget* parent);

    // Asks for a family file through the dialog service and opens it.
    void openByDialog();
    // Shows the open file's warnings in their own window.
    void showWarnings();

    PushButton* OpenButton = nullptr;  // "Open Family File…"
    QLineEdit* FileName = nullptr;     // the open file's name, read-only
    PushButton* CloseButton = nullptr; // back to no file; Cancel while a file is read
    QProgressBar* Progress = nullptr;  // in place of the name while a file is read
    QLabel* Target = nullptr;          // whom the chart will be for
    QLabel* Note = nullptr;            // a remembered file forgotten, and the like
    PushButton* WarningsButton = nullptr;
    PersonCompleter* People = nullptr; // the list under the name box

signals:
    // The pointer rule of the window's push buttons.
    void buttonMouseMoved();

private:
    void refresh();
    void refreshTarget();
    void closeOrCancel();

    FamilyFileSession& mSession;
    DialogService& mDialogs;
    QLineEdit* mName;
    WarningsList* mWarnings = nullptr;
    const void* mSearched = nullptr; // the index the list searches now
};

} // namespace pq
