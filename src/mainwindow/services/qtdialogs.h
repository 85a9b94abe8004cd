#pragma once

// The dialog service of the windows: Qt's modal message boxes and save dialog.

#include "dialogs.h"

class QWidget;

namespace pq {

class QtDialogService final : public DialogService {
public:
    explicit QtDialogService(QWidget* parentResolver = nullptr) : mParent(parentResolver) {}
    MsgResult message(const MessageRequest& request) override;
    QString saveFileName(const SaveDialogRequest& request) override;
    bool printPreview(PrintPreviewRequest& request) override;
    bool printDialog(QPrinter& printer) override;

private:
    QWidget* mParent;
};

} // namespace pq
