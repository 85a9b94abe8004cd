#include "spreadsheet/automation.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace pq::xl {
namespace {

QString failureOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const Failure& f) {
        return f.description();
    }
    return QString();
}

TEST(EngineObjects, UnsetAndReleasedObjectsFailClearly) {
    Ref<Application> none;
    EXPECT_EQ(failureOf([&] { none->version(); }),
              QStringLiteral("Object variable or With block variable not set"));
    Ref<Application> app = CreateObject(kProgId);
    Ref<Workbook> book = app->workbooks()->add();
    Ref<Range> cell = book->activeSheet()->cells(2, 2);
    app->quit();
    EXPECT_TRUE(failureOf([&] { cell->setValue(QStringLiteral("x")); }).contains("disconnected"));
    EXPECT_TRUE(failureOf([&] { book->activeSheet(); }).contains("disconnected"));
    EXPECT_TRUE(failureOf([&] { app->workbooks(); }).contains("disconnected"));
    EXPECT_FALSE(failureOf([&] { app->quit(); }).isEmpty());
    EXPECT_EQ(liveInstanceCount(), 0);
}

TEST(EngineObjects, CreationAndIdentity) {
    EXPECT_EQ(failureOf([] { CreateObject(QStringLiteral("Word.Application")); }),
              QStringLiteral("ActiveX component can't create object"));
    Ref<Application> app = CreateObject(kProgId);
    EXPECT_EQ(app->defaultValue(), QStringLiteral("Microsoft Excel"));
    EXPECT_EQ(app->version(), QStringLiteral("16.0"));
    EXPECT_FALSE(app->visible());
    EXPECT_EQ(app->workbooks()->count(), 0);
    EXPECT_EQ(liveInstanceCount(), 1);
    app.reset(); // released without quitting: nothing is left behind
    EXPECT_EQ(liveInstanceCount(), 0);
}

TEST(EngineObjects, WorkbooksOpenAndClose) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("book.xls"));
    Ref<Application> app = CreateObject(kProgId);
    Ref<Workbook> book = app->workbooks()->add();
    book->activeSheet()->cells(4, 3)->setValue(QStringLiteral("kept"));
    EXPECT_FALSE(failureOf([&] { book->saveAs(path, 51); }).isEmpty()); // only 97-2003 formats
    book->saveAs(path, xlExcel8);
    book->close();
    EXPECT_EQ(app->workbooks()->count(), 0);
    Ref<Workbook> reopened = app->workbooks()->open(path);
    EXPECT_EQ(app->workbooks()->count(), 1);
    EXPECT_EQ(app->workbooks()->item(1)->activeSheet()->cells(4, 3)->value().toString(),
              QStringLiteral("kept"));
    EXPECT_EQ(failureOf([&] { app->workbooks()->item(2); }),
              QStringLiteral("Subscript out of range"));
    app->quit();
}

TEST(EngineObjects, AddressesAndSheetLimits) {
    Ref<Application> app = CreateObject(kProgId);
    Ref<Worksheet> sheet = app->workbooks()->add()->activeSheet();
    EXPECT_FALSE(failureOf([&] { sheet->cells(65537, 1); }).isEmpty());
    EXPECT_FALSE(failureOf([&] { sheet->cells(1, 257); }).isEmpty());
    EXPECT_FALSE(failureOf([&] { sheet->cells(0, 1); }).isEmpty());
    EXPECT_FALSE(failureOf([&] { sheet->range(QStringLiteral("B2:")); }).isEmpty());
    EXPECT_FALSE(failureOf([&] { sheet->columns(QStringLiteral("A")); }).isEmpty());
    EXPECT_FALSE(failureOf([&] { sheet->cells(1, 1)->borders(11); }).isEmpty());
    EXPECT_FALSE(failureOf([&] { sheet->cells(1, 1)->interior()->setColorIndex(57); }).isEmpty());
    EXPECT_FALSE(failureOf([&] {
                     sheet->columns(QStringLiteral("B:B"))->setColumnWidth("wide");
                 }).isEmpty());
    EXPECT_TRUE(failureOf([&] {
                    sheet->cells(2, 2)->setValue(QString(32768, 'x'));
                }).contains(QStringLiteral("32,767")));
    EXPECT_TRUE(failureOf([&] { sheet->cells(2, 2)->setValue(QString(32767, 'x')); }).isEmpty());
    auto r = sheet->range(QStringLiteral("$C$3:B2"));
    EXPECT_EQ(r->row(), 2);
    EXPECT_EQ(r->column(), 2);
    EXPECT_EQ(r->count(), 4);

    // The page set-up refuses what no sheet holds and keeps what it had; reversed bounds are
    // put in order, as for ranges.
    Ref<PageSetup> page = sheet->pageSetup();
    page->setPrintArea(QStringLiteral("$F$35:B2"));
    page->setPrintTitleRows(QStringLiteral("$3:$2"));
    page->setFitToPagesWide(1);
    for (const char* area : {"B0:C3", "A1:IW2", "B2:", "rows"})
        EXPECT_FALSE(failureOf([&] { page->setPrintArea(QLatin1String(area)); }).isEmpty()) << area;
    for (const char* rows : {"$0:$3", "$2:$65537", "2:x", "-1"})
        EXPECT_FALSE(failureOf([&] { page->setPrintTitleRows(QLatin1String(rows)); }).isEmpty())
            << rows;
    EXPECT_FALSE(failureOf([&] { page->setFitToPagesWide(-1); }).isEmpty());
    EXPECT_FALSE(failureOf([&] { page->setFitToPagesTall(32768); }).isEmpty());
    page->setPaperSize(1);
    EXPECT_FALSE(failureOf([&] { page->setPaperSize(0); }).isEmpty());
    EXPECT_EQ(page->paperSize(), 1);
    EXPECT_EQ(page->printArea(), QStringLiteral("$B$2:$F$35"));
    EXPECT_EQ(page->printTitleRows(), QStringLiteral("$2:$3"));
    EXPECT_EQ(page->fitToPagesWide(), 1);
    EXPECT_EQ(page->fitToPagesTall(), 1); // the default, as before the refused call
    app->quit();
}

TEST(EngineObjects, UsedRangeCountsFormattedBlanks) {
    Ref<Application> app = CreateObject(kProgId);
    Ref<Worksheet> sheet = app->workbooks()->add()->activeSheet();
    sheet->cells()->font()->setName(QStringLiteral("Tahoma")); // formats no single cell
    auto used = sheet->usedRange();
    EXPECT_EQ(used->row(), 1);
    EXPECT_EQ(used->count(), 1);
    sheet->cells(7, 4)->interior()->setColorIndex(43);
    sheet->range(QStringLiteral("B2:F2"))->merge();
    used = sheet->usedRange();
    EXPECT_EQ(used->rows()->item(used->rows()->count())->row(), 7);
    EXPECT_EQ(used->columns()->item(used->columns()->count())->column(), 6);
    EXPECT_EQ(used->row(), 2);
    EXPECT_EQ(used->column(), 2);
    // A merged area is formatted as one cell.
    sheet->cells(2, 2)->font()->setSize(20);
    EXPECT_EQ(sheet->cells(2, 6)->font()->size(), 20.0);
    EXPECT_EQ(sheet->cells(2, 6)->font()->name(), QStringLiteral("Tahoma"));
    app->quit();
}

} // namespace
} // namespace pq::xl
