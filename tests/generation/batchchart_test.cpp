#include "generation/batchchart.h"
#include "generation/chartfill.h"
#include "spreadsheet/engine/xls/xlsfile.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

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
                false,
                {}};
    }
    QTemporaryDir dir;
};

TEST_F(BatchChartTest, BadGenerationsAreUsageErrorsAndWriteNothing) {
    for (const char* g :
         {"abc", "", "17", "inf", "-2147483649", "-1e300", "-99999999999999999999"}) {
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
    EXPECT_EQ(model->activeSheet().cell(2, 2)->value(),
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

namespace pq {
namespace {

// Cora's parents Abel and Bess are half-siblings through Dan, who fills two boxes; Bess's
// mother is unknown.
const char* const kCoraFile = "0 HEAD\n1 CHAR UTF-8\n"
                              "0 @I1@ INDI\n1 NAME Cora /Vance/\n1 BIRT\n2 DATE 1850\n"
                              "1 FAMC @F1@\n"
                              "0 @I2@ INDI\n1 NAME Abel /Vance/\n1 DEAT\n2 DATE ABT 1900\n"
                              "1 FAMC @F2@\n"
                              "0 @I3@ INDI\n1 NAME Bess Aurelia Philippa Constance /Vance/\n"
                              "1 FAMC @F3@\n"
                              "0 @I4@ INDI\n1 NAME Dan /Vance/\n1 CHR\n2 DATE 1790\n"
                              "1 BURI\n2 DATE 1861\n"
                              "0 @I5@ INDI\n1 NAME Eve /Ash/\n"
                              "0 @F1@ FAM\n1 HUSB @I2@\n1 WIFE @I3@\n"
                              "0 @F2@ FAM\n1 HUSB @I4@\n1 WIFE @I5@\n"
                              "0 @F3@ FAM\n1 HUSB @I4@\n"
                              "0 TRLR\n";

class GedcomChartTest : public BatchChartTest {
protected:
    QString writeGedcom(const QByteArray& text) const {
        QFile f(path("family.ged"));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return f.fileName();
    }
    BatchRequest gedcomRequest(const char* who, const QByteArray& text = kCoraFile) const {
        BatchRequest req = request("4");
        req.name = QString::fromUtf8(who);
        req.gedcomPath = writeGedcom(text);
        return req;
    }
};

TEST_F(GedcomChartTest, AncestorsFillTheirBoxesAndNothingElseChanges) {
    const BatchResult r = makeChartFiles(gedcomRequest("cora vance"));
    ASSERT_TRUE(r.ok) << r.errors.join('\n').toStdString();
    EXPECT_TRUE(r.warnings.isEmpty());
    const auto filled = engine::readXls(path("ada.xls"));
    const engine::SheetModel& sheet = filled->activeSheet();
    EXPECT_EQ(sheet.cell(2, 2)->value(), QStringLiteral("Family Tree for Cora Vance"));
    EXPECT_EQ(sheet.pageSetup().printArea, sheet.usedRange()); // the names printed too

    // Ahnentafel number -> name and years; 4 generations, so column B holds 8..15.
    const std::map<int, std::pair<QString, QString>> expected{
        {1, {"Cora Vance", "b. 1850"}},
        {2, {"Abel Vance", "d. c. 1900"}},
        {3, {"Bess Aurelia Philippa Constance Vance", ""}},
        {4, {"Dan Vance", "1790–1861"}},
        {5, {"Eve Ash", ""}},
        {6, {"Dan Vance", "1790–1861"}}};
    std::map<std::pair<int, int>, QString> texts;
    for (const auto& [number, text] : expected) {
        const auto [row, column] = boxCell(number, 4);
        EXPECT_EQ(sheet.formatAt(row, column).interiorColorIndex, 43) << number << " not a box";
        texts[{row, column}] = text.first;
        if (!text.second.isEmpty())
            texts[{row + 1, column}] = text.second;
    }
    EXPECT_EQ(boxCell(1, 4), std::make_pair(12, 5));
    EXPECT_EQ(boxCell(15, 4), std::make_pair(19, 2));

    // The same cells and formats as the blank chart; only the texts are new, and they shrink
    // to fit their boxes rather than be cut off.
    BatchRequest blankRequest = request("4");
    blankRequest.workbookPath = path("blank.xls");
    ASSERT_TRUE(makeChartFiles(blankRequest).ok);
    const auto blank = engine::readXls(blankRequest.workbookPath);
    const engine::SheetModel& plain = blank->activeSheet();
    EXPECT_TRUE(sheet.formatAt(2, 2).shrinkToFit) << "the title";
    EXPECT_FALSE(plain.formatAt(2, 2).shrinkToFit);
    for (int row = 4; row <= 24; ++row)
        for (int column = 1; column <= 6; ++column) {
            const engine::Cell* cell = sheet.cell(row, column);
            const QString value = cell ? cell->value() : QString();
            const auto want = texts.find({row, column});
            EXPECT_EQ(value, want == texts.end() ? QString() : want->second) << row << column;
            engine::CellFormat format = sheet.formatAt(row, column);
            EXPECT_EQ(format.shrinkToFit, want != texts.end()) << row << column;
            format.shrinkToFit = false;
            EXPECT_EQ(format, plain.formatAt(row, column)) << row << column;
        }

    // From six generations on, the older generations' columns are as wide as the rest in a
    // filled chart only.
    BatchRequest seven = gedcomRequest("cora vance");
    seven.generations = QStringLiteral("7");
    seven.workbookPath = blankRequest.workbookPath = path("seven.xls");
    seven.force = blankRequest.force = true;
    ASSERT_TRUE(makeChartFiles(seven).ok);
    const auto filledSeven = engine::readXls(seven.workbookPath);
    blankRequest.generations = QStringLiteral("7");
    ASSERT_TRUE(makeChartFiles(blankRequest).ok);
    const auto blankSeven = engine::readXls(blankRequest.workbookPath);
    for (int column = 2; column <= 8; ++column) {
        EXPECT_EQ(filledSeven->activeSheet().columnWidth(column),
                  filledSeven->activeSheet().columnWidth(2))
            << column;
        EXPECT_EQ(blankSeven->activeSheet().columnWidth(column).has_value(), column <= 6) << column;
    }
}

TEST_F(GedcomChartTest, BadInputNamesTheProblem) {
    const auto errorOf = [&](const BatchRequest& req) {
        const BatchResult r = makeChartFiles(req);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_FALSE(QFile::exists(req.workbookPath));
        return r.errors.join('\n');
    };
    const QByteArray twoDans = QByteArray(kCoraFile).replace("Eve /Ash/", "Dan /Vance/");
    const QString ambiguous = errorOf(gedcomRequest("Dan Vance", twoDans));
    EXPECT_TRUE(ambiguous.contains(QStringLiteral("names 2 people")));
    EXPECT_TRUE(
        ambiguous.contains(QStringLiteral("\n  @I4@ Dan Vance (1790–1861)\n  @I5@ Dan Vance")));
    EXPECT_TRUE(errorOf(gedcomRequest("Abel Ash")).contains(QStringLiteral("similar name")));
    EXPECT_TRUE(errorOf(gedcomRequest("@I9@")).contains(QStringLiteral("no person @I9@")));
    EXPECT_TRUE(errorOf(gedcomRequest("Cora", "<html>\n0 HEAD\n"))
                    .contains(QStringLiteral("family.ged line 1: this is not a family-tree")));
    BatchRequest missing = gedcomRequest("Cora");
    missing.gedcomPath = path("nowhere.ged");
    EXPECT_TRUE(errorOf(missing).startsWith(QStringLiteral("cannot read")));
}

TEST_F(GedcomChartTest, ProblemsInTheFileAreWarningsWithTheirLines) {
    const QByteArray text = QByteArray(kCoraFile)
                                .replace("0 @F3@ FAM\n1 HUSB @I4@\n", "0 @F3@ FAM\n1 HUSB @I8@\n")
                                .replace("Eve /Ash/", "Eve /" + QByteArray(40000, 'A') + "/");
    const BatchResult r = makeChartFiles(gedcomRequest("@I1@", text));
    ASSERT_TRUE(r.ok) << r.errors.join('\n').toStdString();
    // Carried as fields: the file as given, the line, the text without either.
    ASSERT_EQ(r.warnings.size(), 2);
    const QString file = path("family.ged");
    EXPECT_EQ(r.warnings[0].file, file);
    EXPECT_EQ(r.warnings[0].line, 31u);
    EXPECT_TRUE(r.warnings[0].text.startsWith(QStringLiteral("@I8@ names no person")));
    EXPECT_EQ(r.warnings[1].file, file);
    EXPECT_EQ(r.warnings[1].line, 23u);
    EXPECT_TRUE(r.warnings[1].text.startsWith(QStringLiteral("the name has 40004")));
    const auto model = engine::readXls(path("ada.xls"));
    const auto [row, column] = boxCell(5, 4);
    EXPECT_TRUE(model->activeSheet().cell(row, column)->value().isEmpty());
    EXPECT_TRUE(model->activeSheet().cell(boxCell(6, 4).first, 3)->value().isEmpty())
        << "Bess's father is unknown now";
}

} // namespace
} // namespace pq
