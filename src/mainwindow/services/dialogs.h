#pragma once

// Every message box and file dialog, and every choice among several items, go through a
// DialogService, so that tests can script the answers. The texts handed over are the program's own,
// exactly; the Qt implementation (qtdialogs.h) lays them out (line breaks at CR LF and at a lone
// CR).

#include <QString>
#include <QStringList>
#include <functional>

class QPrinter;

namespace pq {

enum class MsgButtons { Ok, YesNo };
enum class MsgIcon { None, Exclamation };
enum class MsgResult { Ok = 1, Yes = 6, No = 7 }; // the message box's own result codes

struct MessageRequest {
    QString text;
    QString caption; // empty: the application title
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
    bool yesIsDefault = true;
};

struct SaveDialogRequest {
    QString fileName;
    QString title;
    QString filter; // "Description|pattern|..." as the common dialog takes it
};

// The print preview: the pages as they will come out, with choosers for the page plan, the
// paper and the turn of the page. The choosers are given as captions and the chosen index;
// the caller draws the pages for the choices as they stand.
struct PrintPreviewRequest {
    QString title;      // the dialog's title
    QString acceptText; // the button that goes on: "Print…", "Export…"
    QStringList plans;  // one button each, so that every plan is one click away
    QStringList papers;
    QStringList turns;
    int plan = 0;
    int paper = 0;
    int turn = 0;
    int pagesWide = 2; // for the poster plan: the last of `plans`
    int maxPagesWide = 20;
    // Draws the pages for the request's choices onto the preview's printer.
    std::function<void(QPrinter& printer, const PrintPreviewRequest& choices)> paint;
    // A line about the choices: "3 pages (3 across, 1 down)", or what is wrong with them.
    std::function<QString(const PrintPreviewRequest& choices)> describe;
};

struct OpenDialogRequest {
    QString title;
    QString directory; // where the dialog starts; empty: the working folder
    QString filter;    // "Description|pattern|..." as for the save dialog
};

// A modal list of items of which the user picks one.
struct ChoiceRequest {
    QString title;
    QString prompt;
    QStringList items;
};

class DialogService {
public:
    virtual ~DialogService() = default;
    // Shows a modal message box; an empty caption shows the application title.
    virtual MsgResult message(const MessageRequest& request) = 0;
    // Shows a modal save dialog; returns the chosen path exactly, or "" after a cancel.
    virtual QString saveFileName(const SaveDialogRequest& request) = 0;
    // Shows the print preview; true when the user goes on, the request then holding the
    // choices made. A cancel leaves the request as it was.
    virtual bool printPreview(PrintPreviewRequest& /*request*/) { return false; }
    // Shows the platform's print dialog for `printer` (its printers, copies, paper, pages 1 to
    // `pageCount`); false after a cancel.
    virtual bool printDialog(QPrinter& /*printer*/, int /*pageCount*/) { return false; }
    // Shows a modal open dialog for an existing file; returns its path, or "" after a cancel.
    // Services that never open files (the command-line tool's) keep the cancel.
    virtual QString openFileName(const OpenDialogRequest&) { return QString(); }
    // Shows the items in a modal list; returns the index of the one chosen, or -1 after a
    // cancel.
    virtual int choose(const ChoiceRequest&) { return -1; }
};

// Shows the message "text" with OK only, no icon, under the application title.
MsgResult MsgBox(DialogService& dialogs, const QString& text, MsgButtons buttons = MsgButtons::Ok);

// Converts message text for display: CR LF and a lone CR each become one line break.
QString displayText(const QString& text);

// The invisible character that forbids a line break where it stands.
inline constexpr char16_t kWordJoiner = u'\u2060';

// Keeps every web and e-mail address of a message on one line when the text is wrapped: a word
// joiner goes wherever a line could break inside an address (after "//" and "/", for one), so
// a narrow message box moves the whole address to the next line instead of splitting it. The
// joiners show nothing; removing them gives the text back.
QString keepAddressesWhole(const QString& text);

// Turns a common-dialog filter ("Excel Files (*.xls)|*.xls|") into a Qt name filter
// ("Excel Files (*.xls)"); entries are joined with ";;".
QString qtNameFilter(const QString& filter);

} // namespace pq
