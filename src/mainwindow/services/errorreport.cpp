#include "errorreport.h"

#include "base/failure.h"

namespace pq {

QString errorReportText(const QString& description, const QString& location, int label) {
    return description + QStringLiteral("\r\n") + location + QStringLiteral("at line ") +
           QString::number(label) + QStringLiteral("\r\r") +
           QStringLiteral("Please email screenshot of this message to ") + kSupportAddress;
}

QString describeFailure(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const Failure& f) {
        return f.description();
    } catch (const std::bad_alloc&) {
        return QStringLiteral("Out of memory");
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Unexpected failure");
    }
}

void ErrorReportBox::stepFailed(const StepFailure& failure) {
    MessageRequest request;
    request.text = errorReportText(failure.description, failure.procedure, failure.label);
    request.caption = kErrorReportCaption;
    request.buttons = MsgButtons::Ok;
    request.icon = MsgIcon::Exclamation;
    mDialogs.message(request);
}

void Guard::report(std::exception_ptr failure) {
    ++mFailures;
    // A failure while the report itself is shown gets no report of its own.
    try {
        mListener.stepFailed({mLocation, mLabel, describeFailure(failure)});
    } catch (...) {
    }
}

} // namespace pq
