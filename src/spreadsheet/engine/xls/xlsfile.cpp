#include "xlsfile.h"

#include "base/safefile.h"
#include "biffreader.h"
#include "biffwriter.h"
#include "compoundfile.h"

#include <QFile>
#include <QFileInfo>

namespace pq::engine {

namespace {

const QString kWorkbookStream = QStringLiteral("Workbook");

// The descriptions users of the spreadsheet macro language know for reading errors.
QString describe(QFileDevice::FileError error) {
    switch (error) {
    case QFileDevice::PermissionsError:
        return failures::kPermissionDenied;
    case QFileDevice::OpenError:
        return failures::kPathFileAccess;
    default:
        return failures::kPathFileAccess;
    }
}

} // namespace

QByteArray encodeXls(const WorkbookModel& workbook) {
    return cfb::buildCompoundFile(kWorkbookStream, biff::encodeWorkbookStream(workbook));
}

void writeXls(const WorkbookModel& workbook, const QString& path) {
    writeFileSafely(path, encodeXls(workbook));
}

std::unique_ptr<WorkbookModel> decodeXls(const QByteArray& file) {
    const cfb::CompoundFileReader container(file);
    std::optional<QByteArray> stream = container.stream(kWorkbookStream);
    if (!stream) {
        if (container.stream(QStringLiteral("Book")))
            throw Failure(QStringLiteral(
                "The file is an older Excel workbook (5.0/95), not a 97–2003 workbook"));
        throw Failure(QStringLiteral("The file is not a 97–2003 workbook (no Workbook stream)"));
    }
    return biff::decodeWorkbookStream(*stream);
}

std::unique_ptr<WorkbookModel> readXls(const QString& path) {
    QFile file(path);
    if (!QFileInfo::exists(path))
        throw Failure(failures::kFileNotFound);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(describe(file.error()));
    return decodeXls(file.readAll());
}

} // namespace pq::engine
