#include "xlsfile.h"

// Placeholder until the BIFF8 writer and reader land.
namespace pq::engine {
QByteArray encodeXls(const WorkbookModel&) { throw Failure(QStringLiteral("not implemented")); }
void writeXls(const WorkbookModel&, const QString&) { throw Failure(QStringLiteral("not implemented")); }
std::unique_ptr<WorkbookModel> decodeXls(const QByteArray&) { throw Failure(QStringLiteral("not implemented")); }
std::unique_ptr<WorkbookModel> readXls(const QString&) { throw Failure(QStringLiteral("not implemented")); }
} // namespace pq::engine
