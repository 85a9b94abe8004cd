#pragma once

// The dialog service of the windows: Qt's modal message boxes, file dialogs and choice list.

#include "dialogs.h"

class QWidget;

namespace pq {

class QtDialogService final : public DialogService {
public:
    explicit QtDialogService(QWidget* parentResolver = nullptr) : mParent(parentResolver) {}
    MsgResult message(const MessageRequest& request) override;
    QString saveFileName(const SaveDialogRequest& request) override;
    bool printPreview(PrintPreviewRequest& request) override;
    bool printDialog(QPrinter& printer, int pageCount) override;
    QString openFileName(const OpenDialogRequest& request) override;
    int choose(const ChoiceRequest& request) override;

private:
    QWidget* mParent;
};

} // namespace pq
