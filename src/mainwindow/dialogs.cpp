#include "dialogs.h"

#include "appearance.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace pq {

MsgResult MsgBox(DialogService& dialogs, const QString& text, MsgButtons buttons) {
    return dialogs.message({text, QString(), buttons, MsgIcon::None, true});
}

QString displayText(const QString& text) {
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

QString qtNameFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        const QString patterns = parts[i + 1].trimmed();
        if (description.isEmpty() && patterns.isEmpty())
            continue;
        // Qt reads the patterns from the parentheses; add them when the description has none.
        if (description.contains(QLatin1Char('(')))
            entries << description;
        else
            entries << QStringLiteral("%1 (%2)").arg(description,
                                                     QString(patterns).replace(';', ' '));
    }
    return entries.join(QStringLiteral(";;"));
}

MsgResult QtDialogService::message(const MessageRequest& request) {
    QWidget* parent = mParent ? mParent : QApplication::activeWindow();
    QMessageBox box(parent);
    box.setWindowTitle(request.caption.isEmpty() ? AppTitle() : request.caption);
    box.setText(displayText(request.text));
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

} // namespace pq
