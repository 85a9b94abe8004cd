#include "qtdialogs.h"

#include "appfiles.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QVBoxLayout>

namespace pq {

namespace {
// The word joiners that keep addresses whole are for the layout only: whatever is copied from
// a box while it is shown (a selection of its text, or the whole box) is put on the clipboard
// without them, so that a pasted address works.
class JoinerFreeCopies {
public:
    JoinerFreeCopies() {
        if (QClipboard* clipboard = QGuiApplication::clipboard())
            mConnection = QObject::connect(
                clipboard, &QClipboard::changed, clipboard, [clipboard](QClipboard::Mode mode) {
                    const QString text = clipboard->text(mode);
                    if (text.contains(QChar(kWordJoiner)))
                        clipboard->setText(QString(text).remove(QChar(kWordJoiner)), mode);
                });
    }
    ~JoinerFreeCopies() { QObject::disconnect(mConnection); }
    JoinerFreeCopies(const JoinerFreeCopies&) = delete;
    JoinerFreeCopies& operator=(const JoinerFreeCopies&) = delete;

private:
    QMetaObject::Connection mConnection;
};
} // namespace

MsgResult QtDialogService::message(const MessageRequest& request) {
    QWidget* parent = mParent ? mParent : QApplication::activeWindow();
    QMessageBox box(parent);
    box.setWindowTitle(request.caption.isEmpty() ? AppTitle() : request.caption);
    box.setText(keepAddressesWhole(displayText(request.text)));
    box.setTextFormat(Qt::PlainText);
    box.setIcon(request.icon == MsgIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon);
    if (request.buttons == MsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(request.yesIsDefault ? QMessageBox::Yes : QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    box.setWindowModality(Qt::ApplicationModal);
    const JoinerFreeCopies copies;
    const int answer = box.exec();
    if (request.buttons == MsgButtons::Ok)
        return MsgResult::Ok;
    return answer == QMessageBox::Yes ? MsgResult::Yes : MsgResult::No;
}

QString QtDialogService::saveFileName(const SaveDialogRequest& request) {
    QWidget* parent = mParent ? mParent : QApplication::activeWindow();
    QFileDialog dialog(parent, request.title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(qtNameFilter(request.filter));
    // The program asks about overwriting itself and adds no extension.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setDefaultSuffix(QString());
    dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

QString QtDialogService::openFileName(const OpenDialogRequest& request) {
    QWidget* parent = mParent ? mParent : QApplication::activeWindow();
    QFileDialog dialog(parent, request.title, request.directory);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(qtNameFilter(request.filter));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

int QtDialogService::choose(const ChoiceRequest& request) {
    QWidget* parent = mParent ? mParent : QApplication::activeWindow();
    QDialog dialog(parent);
    dialog.setWindowTitle(request.title.isEmpty() ? AppTitle() : request.title);
    auto* layout = new QVBoxLayout(&dialog);
    auto* prompt = new QLabel(request.prompt, &dialog);
    prompt->setTextFormat(Qt::PlainText);
    prompt->setWordWrap(true);
    auto* list = new QListWidget(&dialog);
    list->addItems(request.items);
    list->setCurrentRow(0);
    list->setMinimumWidth(420);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    layout->addWidget(prompt);
    layout->addWidget(list);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemActivated, &dialog, &QDialog::accept);
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted)
        return -1;
    return list->currentRow();
}

} // namespace pq
