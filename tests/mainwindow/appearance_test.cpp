// The hand cursor loader, the skin stand-in and the application icon.

#include "base/failure.h"
#include "cursorfile.h"
#include "mainwindow/services/appearance.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace pq {
namespace {

using test::cursorBytes;
using test::CursorShape;
using test::writeFile;

class CursorFileTest : public ::testing::Test {
protected:
    QString write(const CursorShape& shape) {
        const QString path = dir.filePath(QStringLiteral("HAND-M.CUR"));
        writeFile(path, cursorBytes(shape));
        return path;
    }
    QTemporaryDir dir;
};

TEST_F(CursorFileTest, ColourCursorKeepsItsHotSpotAndTransparency) {
    const QCursor cursor = loadCursorFile(write({32, 32, 20, 9}));
    EXPECT_EQ(cursor.shape(), Qt::BitmapCursor);
    EXPECT_EQ(cursor.hotSpot(), QPoint(20, 9));
    const QImage image = cursor.pixmap().toImage();
    ASSERT_EQ(image.size(), QSize(32, 32));
    EXPECT_EQ(image.pixelColor(3, 3), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(28, 3).alpha(), 0);
}

TEST_F(CursorFileTest, MonochromeCursorLoads) {
    const QCursor cursor = loadCursorFile(write({32, 1, 7, 31}));
    EXPECT_EQ(cursor.hotSpot(), QPoint(7, 31));
    const QImage image = cursor.pixmap().toImage();
    EXPECT_EQ(image.pixelColor(3, 3).rgb(), QColor(Qt::black).rgb());
    EXPECT_EQ(image.pixelColor(28, 3).alpha(), 0);
}

TEST_F(CursorFileTest, BrokenOrMissingFileFails) {
    QByteArray truncated = cursorBytes({32, 32, 1, 1}).left(60);
    const QString path = dir.filePath(QStringLiteral("broken.cur"));
    writeFile(path, truncated);
    EXPECT_THROW(loadCursorFile(path), Failure);
    EXPECT_THROW(loadCursorFile(dir.filePath(QStringLiteral("missing.cur"))), Failure);
}

// A window with a frame and a text box, as ApplySkin sees the main window.
class SkinTest : public ::testing::Test {
protected:
    SkinTest() : frame(new QGroupBox(&form)), text(new QLineEdit(frame)) {
        setAppFolderForTesting(dir.path());
        QPalette white = form.palette();
        white.setColor(QPalette::Window, Qt::white);
        form.setPalette(white);
    }
    ~SkinTest() override { setAppFolderForTesting(QString()); }

    QString skinPath() const { return dir.filePath(QStringLiteral("x/o.cjs")); }
    void makeSkinFolder() { QDir(dir.path()).mkpath(QStringLiteral("x")); }

    QTemporaryDir dir;
    QWidget form;
    QGroupBox* frame;
    QLineEdit* text;
    SkinFramework skin;
};

TEST_F(SkinTest, NoSkinFileLeavesTheWindowAlone) {
    ApplySkin(&form, skin);
    EXPECT_EQ(form.palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(skin.appliedTo(), nullptr);
    EXPECT_EQ(skin.property(1).toInt(), 0);
}

TEST_F(SkinTest, SkinFileRecoloursAndDrivesTheSkinControl) {
    makeSkinFolder();
    writeFile(skinPath(), QByteArray("QGroupBox { color: navy; }"));
    const QColor textBase = text->palette().color(QPalette::Base);
    ApplySkin(&form, skin);
    EXPECT_EQ(form.palette().color(QPalette::Window), buttonFaceColor());
    EXPECT_EQ(frame->palette().color(QPalette::Window), buttonFaceColor());
    EXPECT_EQ(text->palette().color(QPalette::Base), textBase);
    EXPECT_EQ(skin.appliedTo(), &form);
    EXPECT_EQ(form.styleSheet(), QStringLiteral("QGroupBox { color: navy; }"));
    EXPECT_EQ(skin.property(1).toInt() & 1, 1);
    EXPECT_TRUE(skin.property(5).toBool());
    EXPECT_TRUE(skin.property(10).toBool());
}

TEST_F(SkinTest, SkinPathThatIsNoOrdinaryFileCountsAsMissing) {
    makeSkinFolder();
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("x/o.cjs")));
    EXPECT_FALSE(skinFileFound());
    ASSERT_TRUE(QDir(dir.path()).rmdir(QStringLiteral("x/o.cjs")));
    // A pipe would block the skin's reader forever.
    ASSERT_EQ(mkfifo(QFile::encodeName(skinPath()).constData(), 0600), 0);
    EXPECT_FALSE(skinFileFound());
    ApplySkin(&form, skin);
    EXPECT_EQ(skin.appliedTo(), nullptr);
}

// The icon's directory: four entries, each a bitmap (not PNG), in the fixed order.
TEST(AppIconTest, HoldsFourBitmapImagesInOrder) {
    QFile file(QStringLiteral(":/icons/app.ico"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray ico = file.readAll();
    auto u16 = [&ico](int at) { return qFromLittleEndian<quint16>(ico.constData() + at); };
    auto u32 = [&ico](qsizetype at) { return qFromLittleEndian<quint32>(ico.constData() + at); };
    ASSERT_GE(ico.size(), 6 + 4 * 16);
    EXPECT_EQ(u16(0), 0);
    EXPECT_EQ(u16(2), 1);
    ASSERT_EQ(u16(4), 4);
    const int sizes[] = {32, 256, 128, 48};
    const int bits[] = {24, 32, 32, 32};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const int entry = 6 + 16 * i;
        const int width = static_cast<unsigned char>(ico[entry]);
        EXPECT_EQ(width == 0 ? 256 : width, sizes[i]);
        EXPECT_EQ(u16(entry + 6), bits[i]);
        const quint32 offset = u32(entry + 12);
        ASSERT_LE(offset + 40, static_cast<quint32>(ico.size()));
        EXPECT_EQ(u32(offset), 40u) << "a BITMAPINFOHEADER, not a PNG";
        EXPECT_EQ(static_cast<int>(u32(offset + 4)), sizes[i]);
        EXPECT_EQ(static_cast<int>(u32(offset + 8)), 2 * sizes[i]);
        EXPECT_EQ(qFromLittleEndian<quint16>(ico.constData() + offset + 14), bits[i]);
    }
}

TEST(AppIconTest, LoadsWithTransparentBackground) {
    const QIcon icon = appIcon();
    ASSERT_FALSE(icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    for (int s : {32, 48, 128, 256})
        EXPECT_TRUE(sizes.contains(QSize(s, s))) << s;
    // The 24-bit image is transparent through its mask, which Qt's own reader drops.
    const QImage small = icon.pixmap(QSize(32, 32)).toImage();
    ASSERT_EQ(small.size(), QSize(32, 32));
    EXPECT_EQ(small.pixelColor(0, 0).alpha(), 0);
    bool lime = false;
    for (int y = 0; y < 32 && !lime; ++y)
        for (int x = 0; x < 32 && !lime; ++x)
            lime = small.pixelColor(x, y) == QColor(0x99, 0xCC, 0x00);
    EXPECT_TRUE(lime);
}

} // namespace
} // namespace pq
