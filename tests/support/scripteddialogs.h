#pragma once

// A dialog service for tests: records every message box, file dialog and choice list, and
// answers from a script (default: OK / Yes / cancel).

#include "mainwindow/services/dialogs.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

namespace pq::test {

struct RecordedMessage {
    QString text;
    QString caption; // as shown: the application title when none was given
    MsgButtons buttons;
    MsgIcon icon;
    bool yesIsDefault;
};

class ScriptedDialogs final : public DialogService {
public:
    MsgResult message(const MessageRequest& request) override;
    QString saveFileName(const SaveDialogRequest& request) override;
    bool printPreview(PrintPreviewRequest& request) override;
    bool printDialog(QPrinter& printer, int pageCount) override;
    QString openFileName(const OpenDialogRequest& request) override;
    int choose(const ChoiceRequest& request) override;

    std::vector<RecordedMessage> messages;
    std::vector<SaveDialogRequest> saveRequests;
    std::deque<MsgResult> answers; // for Yes/No boxes; Yes when empty
    std::deque<QString> savePaths; // "" (cancel) when empty
    std::vector<OpenDialogRequest> openRequests;
    std::deque<QString> openPaths; // "" (cancel) when empty
    std::vector<ChoiceRequest> choiceRequests;
    std::deque<int> choices;                               // -1 (cancel) when empty
    std::function<void(const RecordedMessage&)> onMessage; // runs while the box is "up"
    // The print preview: what the user does in it, true to go on (cancel when unset). The
    // requests are recorded as they came.
    std::function<bool(PrintPreviewRequest&)> onPrintPreview;
    std::vector<PrintPreviewRequest> printPreviews;
    // The print dialog: chooses the printer, true to print (cancel when unset).
    std::function<bool(QPrinter&)> onPrintDialog;
    std::vector<int> printDialogPageCounts; // the pages each print dialog offered

    // Error reports shown so far (caption "Application Error").
    std::vector<RecordedMessage> errorReports() const;
    QStringList texts() const;
};

} // namespace pq::test
