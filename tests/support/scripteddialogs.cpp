#include "scripteddialogs.h"

#include "mainwindow/services/appearance.h"
#include "mainwindow/services/errorreport.h"

namespace pq::test {

MsgResult ScriptedDialogs::message(const MessageRequest& request) {
    RecordedMessage m{request.text, request.caption.isEmpty() ? AppTitle() : request.caption,
                      request.buttons, request.icon, request.yesIsDefault};
    messages.push_back(m);
    if (onMessage)
        onMessage(m);
    if (request.buttons == MsgButtons::Ok)
        return MsgResult::Ok;
    if (answers.empty())
        return MsgResult::Yes;
    const MsgResult a = answers.front();
    answers.pop_front();
    return a;
}

QString ScriptedDialogs::saveFileName(const SaveDialogRequest& request) {
    saveRequests.push_back(request);
    if (savePaths.empty())
        return QString();
    QString p = savePaths.front();
    savePaths.pop_front();
    return p;
}

bool ScriptedDialogs::printPreview(PrintPreviewRequest& request) {
    printPreviews.push_back(request);
    return onPrintPreview && onPrintPreview(request);
}

bool ScriptedDialogs::printDialog(QPrinter& printer, int pageCount) {
    printDialogPageCounts.push_back(pageCount);
    return onPrintDialog && onPrintDialog(printer);
}

QString ScriptedDialogs::openFileName(const OpenDialogRequest& request) {
    openRequests.push_back(request);
    if (openPaths.empty())
        return QString();
    QString p = openPaths.front();
    openPaths.pop_front();
    return p;
}

int ScriptedDialogs::choose(const ChoiceRequest& request) {
    choiceRequests.push_back(request);
    if (choices.empty())
        return -1;
    const int c = choices.front();
    choices.pop_front();
    return c;
}

std::vector<RecordedMessage> ScriptedDialogs::errorReports() const {
    std::vector<RecordedMessage> out;
    for (const auto& m : messages)
        if (m.caption == kErrorReportCaption)
            out.push_back(m);
    return out;
}

QStringList ScriptedDialogs::texts() const {
    QStringList out;
    for (const auto& m : messages)
        out << m.text;
    return out;
}

} // namespace pq::test
