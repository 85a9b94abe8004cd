// Finding text in a chart without a window: every box of a filled fifteen-generation chart is
// found where the picture draws it, in reading order, whatever the case and accents typed.

#include "base/failure.h"
#include "preview/chartfind.h"
#include "spreadsheet/engine/rangepicture.h"
#include "spreadsheet/engine/xls/xlsfile.h"
#include "spreadsheet/picture.h"
#include "support/samplechart.h"

#include <QColor>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace pq::test {
namespace {

// A fifteen-generation chart with a name in every box, saved as the run saves it.
class FilledChart : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new QTemporaryDir;
        workbook = new engine::WorkbookModel;
        buildSampleChart(*workbook, kColumns);
        engine::SheetModel& sheet = workbook->activeSheet();
        for (int t = 0; t < kColumns; ++t)
            for (int i = 0; i < sampleBoxCount(kColumns, t); ++i)
                sheet.setValue(sampleBoxRow(t, i), 2 + t, nameOf(t, i));
        path = dir->filePath(QStringLiteral("filled.xls"));
        engine::writeXls(*workbook, path);
        found = new ChartFind(ChartFind::fromWorkbookFile(path));
    }
    static void TearDownTestSuite() {
        delete found;
        delete workbook;
        delete dir;
    }
    static QString nameOf(int t, int i) {
        return t == 14 ? QStringLiteral("Émile Dupont-Orrow")
                       : QStringLiteral("Ancestor %1.%2").arg(t).arg(i);
    }

    static constexpr int kColumns = 15;
    static inline QTemporaryDir* dir = nullptr;
    static inline engine::WorkbookModel* workbook = nullptr;
    static inline QString path;
    static inline ChartFind* found = nullptr;
};

TEST_F(FilledChart, EveryBoxIsFoundWhereThePictureDrawsIt) {
    // The title, the generations line and one text per box.
    EXPECT_EQ(found->size(), 2u + (1u << kColumns) - 1);
    const engine::SheetModel& sheet = workbook->activeSheet();
    const Picture picture = Picture::fromSvg(engine::renderRangeSvg(sheet, *sheet.usedRange()));
    for (auto [t, i] : {std::pair{0, 0}, {0, 16383}, {7, 100}, {13, 1}, {14, 0}}) {
        SCOPED_TRACE(nameOf(t, i).toStdString());
        const auto hit = found->find(nameOf(t, i));
        ASSERT_TRUE(hit.has_value());
        EXPECT_EQ(found->text(hit->index), nameOf(t, i));
        const QRect box = found->box(hit->index);
        ASSERT_TRUE(QRect(QPoint(0, 0), picture.size()).contains(box));
        // Its edges are black and most of what they hold is lime (the name aside): the
        // picture's own box.
        QImage image(box.size(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        picture.paint(painter, QRectF(image.rect()), QRectF(box));
        painter.end();
        int lime = 0;
        for (int y = 1; y < box.height() - 1; ++y)
            for (int x = 1; x < box.width() - 1; ++x)
                lime += image.pixelColor(x, y) == QColor(0x99, 0xCC, 0x00);
        EXPECT_GT(lime, (box.width() - 2) * (box.height() - 2) / 2);
        for (QPoint edge : {QPoint(0, box.height() / 2), QPoint(box.width() - 1, 2),
                            QPoint(box.width() / 2, 0), QPoint(2, box.height() - 1)})
            EXPECT_EQ(image.pixelColor(edge), QColor(Qt::black));
    }
}

TEST_F(FilledChart, PartsOfTextMatchWhateverTheCaseAccentsAndSpaces) {
    const auto emile = found->find(QStringLiteral("  emile   DUPONT-o"));
    ASSERT_TRUE(emile.has_value());
    EXPECT_EQ(found->text(emile->index), QStringLiteral("Émile Dupont-Orrow"));
    EXPECT_EQ(emile->total, 1);
    EXPECT_TRUE(found->find(QStringLiteral("Family tree")).has_value()); // the title is a text
    EXPECT_EQ(found->find(QStringLiteral("Tree for")).value().ordinal, 1);
    EXPECT_FALSE(found->find(QStringLiteral("Ancestor 99")).has_value());
    EXPECT_FALSE(found->find(QStringLiteral("   ")).has_value());
}

TEST_F(FilledChart, NextAndPreviousGoInReadingOrderAndWrapAround) {
    // "Ancestor 13." is in two boxes, the upper one first.
    const auto first = found->find(QStringLiteral("ancestor 13."));
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->total, 2);
    EXPECT_EQ(first->ordinal, 1);
    const auto second = found->find(QStringLiteral("ancestor 13."), first->index);
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->ordinal, 2);
    EXPECT_GT(found->box(second->index).top(), found->box(first->index).top());
    EXPECT_EQ(found->find(QStringLiteral("ancestor 13."), second->index)->index, first->index);
    EXPECT_EQ(found->find(QStringLiteral("ancestor 13."), first->index, true)->index,
              second->index);
    EXPECT_EQ(found->find(QStringLiteral("ancestor 13."), std::nullopt, true)->ordinal, 2);
}

TEST(ChartFindFile, AFileThatIsNotAWorkbookFailsWithItsReason) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("not.xls"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("plain text, not a workbook");
    file.close();
    EXPECT_THROW(ChartFind::fromWorkbookFile(path), Failure);
    EXPECT_THROW(ChartFind::fromWorkbookFile(dir.filePath(QStringLiteral("missing.xls"))), Failure);
}

} // namespace
} // namespace pq::test
