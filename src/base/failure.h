#pragma once

// A failure of one statement: what the guarded procedure's error report shows as its
// description. Thrown by our own code, by the spreadsheet engine and by the file helpers.

#include <QString>
#include <stdexcept>

namespace pq {

class Failure : public std::runtime_error {
public:
    explicit Failure(const QString& description)
        : std::runtime_error(description.toStdString()), mDescription(description) {}
    const QString& description() const { return mDescription; }

private:
    QString mDescription;
};

// The standard descriptions of run-time failures, worded as users of the spreadsheet macro
// language know them.
namespace failures {
inline const QString kOverflow = QStringLiteral("Overflow");
inline const QString kTypeMismatch = QStringLiteral("Type mismatch");
inline const QString kObjectNotSet =
    QStringLiteral("Object variable or With block variable not set");
inline const QString kCannotCreateObject = QStringLiteral("ActiveX component can't create object");
inline const QString kFileNotFound = QStringLiteral("File not found");
inline const QString kPathFileAccess = QStringLiteral("Path/File access error");
inline const QString kPermissionDenied = QStringLiteral("Permission denied");
inline const QString kInvalidArgument = QStringLiteral("Invalid procedure call or argument");
} // namespace failures

} // namespace pq
