#pragma once

// The error report of the guarded procedures. A guarded procedure is written as its labelled
// statements:
//
//     Guard g(dialogs, loc::kForm1PushButton7Click);
//     g(100, [&] { Text1->setText(kSampleName); });
//     g(102, [&] { Text2->setText(QString::number(5)); });
//
// A statement that throws hands its failure, as fields (procedure, label, description), to the
// guard's listener: in the windows the error report box naming the procedure and the label, in
// the command-line tool a list. Execution then carries on with the next statement. A failed
// condition test counts as passed, so the body runs; a failure inside a called procedure abandons
// that callee only.

#include "dialogs.h"

#include <QString>
#include <exception>
#include <optional>
#include <utility>

namespace pq {

inline const QString kSupportAddress = QStringLiteral("support@quillmere.example");
inline const QString kErrorReportCaption = QStringLiteral("Application Error");

// The location texts of the fifteen guarded procedures, letter case exactly as reported.
namespace loc {
inline const QString kForm1FormLoad = QStringLiteral("in Kinloom2021/08/31.Form1.Form_Load ");
inline const QString kForm1PushButton1Click =
    QStringLiteral("in Kinloom2021/08/31.Form1.PushButton1_Click ");
inline const QString kForm1PushButton6Click =
    QStringLiteral("in Kinloom2021/08/31.Form1.PushButton6_Click ");
inline const QString kForm1PushButton7Click =
    QStringLiteral("in Kinloom2021/08/31.Form1.PushButton7_Click ");
inline const QString kExcel1SaveCellsActivesheet =
    QStringLiteral("in Kinloom2021/08/31.Excel1.saveCellsActivesheet ");
inline const QString kForm2FormLoad = QStringLiteral("in Kinloom2021/08/31.Form2.Form_Load ");
inline const QString kForm2FormActivate =
    QStringLiteral("in Kinloom2021/08/31.Form2.Form_Activate ");
inline const QString kForm2PushButton1Click =
    QStringLiteral("in Kinloom2021/08/31.Form2.PushButton1_Click ");
inline const QString kForm2PushButton2Click =
    QStringLiteral("in Kinloom2021/08/31.Form2.PushButton2_Click ");
inline const QString kForm2Picture1MouseDown =
    QStringLiteral("in Kinloom2021/08/31.Form2.picture1_MouseDown ");
inline const QString kForm2Picture1MouseMove =
    QStringLiteral("in Kinloom2021/08/31.Form2.picture1_MouseMove ");
inline const QString kForm2Picture1MouseUp =
    QStringLiteral("in Kinloom2021/08/31.Form2.Picture1_MouseUp ");
inline const QString kForm2FormQueryUnload =
    QStringLiteral("in Kinloom2021/08/31.Form2.Form_QueryUnload ");
inline const QString kForm2PushButton6Click =
    QStringLiteral("in Kinloom2021/08/31.Form2.PushButton6_Click ");
inline const QString kForm2PushButton8Click =
    QStringLiteral("in Kinloom2021/08/31.Form2.PushButton8_Click ");
} // namespace loc

// The report's text: description, CR LF, location, "at line ", label, CR, CR, support line.
QString errorReportText(const QString& description, const QString& location, int label);

// The description of whatever a statement threw.
QString describeFailure(std::exception_ptr failure);

// A failed statement of a guarded procedure, as fields; each listener words it its own way.
struct StepFailure {
    QString procedure; // the procedure's location text (loc::)
    int label = 0;
    QString description;
};

class FailureListener {
public:
    virtual ~FailureListener() = default;
    virtual void stepFailed(const StepFailure& failure) = 0;
};

// The window's listener: the error report box, its text exactly errorReportText's.
class ErrorReportBox final : public FailureListener {
public:
    explicit ErrorReportBox(DialogService& dialogs) : mDialogs(dialogs) {}
    void stepFailed(const StepFailure& failure) override;

private:
    DialogService& mDialogs;
};

class Guard {
public:
    // Failures are shown as the error report box through `dialogs`.
    Guard(DialogService& dialogs, QString location)
        : mBox(std::in_place, dialogs), mListener(*mBox), mLocation(std::move(location)) {}
    // Failures go to `listener`.
    Guard(FailureListener& listener, QString location)
        : mListener(listener), mLocation(std::move(location)) {}
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

    // Runs one statement under its label. Several statements may share a label.
    template<class Statement> void operator()(int label, Statement&& statement) {
        mLabel = label;
        try {
            std::forward<Statement>(statement)();
        } catch (...) {
            report(std::current_exception());
        }
    }

    // Evaluates a condition; when the test itself fails, the body runs (returns true).
    template<class Condition> bool test(int label, Condition&& condition) {
        mLabel = label;
        try {
            return static_cast<bool>(std::forward<Condition>(condition)());
        } catch (...) {
            report(std::current_exception());
            return true;
        }
    }

    int failures() const { return mFailures; }

private:
    void report(std::exception_ptr failure);

    std::optional<ErrorReportBox> mBox;
    FailureListener& mListener;
    QString mLocation;
    int mLabel = 0;
    int mFailures = 0;
};

} // namespace pq
