#include "generation/batchchart.h"
#include "spreadsheet/engine/xls/xlsfile.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace pq {
namespace {

class BatchChartTest : public ::testing::Test {
protected:
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    BatchRequest request(const char* generations = "4") const {
        return {QStringLiteral("Ada Lovelace"),
                QString::fromLatin1(generations),
                path("ada.xls"),
                QString(),
                QString(),
                false};
    }
    QTemporaryDir dir;
};

TEST_F(BatchChartTest, BadGenerationsAreUsageErrorsAndWriteNothing) {
    for (const char* g : {"abc", "", "17", "inf"}) {
        const BatchResult r = makeChartFiles(request(g));
        EXPECT_EQ(r.exitCode, 2) << g;
        EXPECT_FALSE(r.errors.isEmpty());
        EXPECT_FALSE(QFile::exists(path("ada.xls")));
    }
}

TEST_F(BatchChartTest, ExistingFilesAreKeptWithoutForce) {
    QFile old(path("ada.xls"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("keep me");
    old.close();
    const BatchResult r = makeChartFiles(request());
    EXPECT_EQ(r.exitCode, 3);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("keep me"));
}

TEST_F(BatchChartTest, WritesWorkbookPictureAndPdf) {
    BatchRequest req = request();
    req.picturePath = path("ada.svg");
    req.pdfPath = path("ada.pdf");
    const BatchResult r = makeChartFiles(req);
    ASSERT_TRUE(r.ok) << r.errors.join('\n').toStdString();
    const auto model = engine::readXls(req.workbookPath);
    EXPECT_EQ(model->activeSheet().cell(2, 2)->value,
              QStringLiteral("Family Tree for Ada Lovelace"));
    QFile svg(req.picturePath), pdf(req.pdfPath);
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    EXPECT_TRUE(svg.readAll().contains("<svg"));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5) == "%PDF-");

    req.force = true;
    req.picturePath = path("ada.png");
    req.pdfPath.clear();
    EXPECT_TRUE(makeChartFiles(req).ok);
    QImage png(req.picturePath);
    EXPECT_FALSE(png.isNull());
}

TEST_F(BatchChartTest, OverlongNameIsBadInputAndWritesNothing) {
    BatchRequest req = request();
    // The longest name whose title still fits in one cell, and one character more.
    req.name = QString(32767 - 16, QLatin1Char('x'));
    EXPECT_TRUE(makeChartFiles(req).ok);
    req.name += QLatin1Char('x');
    req.workbookPath = path("long.xls");
    const BatchResult r = makeChartFiles(req);
    EXPECT_EQ(r.exitCode, 2);
    ASSERT_EQ(r.errors.size(), 1);
    EXPECT_TRUE(r.errors[0].contains(QStringLiteral("32,751")));
    EXPECT_FALSE(QFile::exists(req.workbookPath));
}

TEST_F(BatchChartTest, FolderAsTargetIsRefused) {
    BatchRequest req = request();
    req.workbookPath = dir.path();
    req.force = true;
    const BatchResult r = makeChartFiles(req);
    EXPECT_EQ(r.exitCode, 2);
}

} // namespace
} // namespace pq
