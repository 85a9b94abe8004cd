#include "appearance.h"

#include "base/failure.h"
#include "pointer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QRadioButton>
#include <QWidget>
#include <QtEndian>

namespace pq {

QFont windowFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9);
    font.setBold(true);
    return font;
}

QFont buttonFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(11.25);
    font.setBold(true);
    return font;
}

QColor buttonFaceColor() {
    return QApplication::instance() ? QApplication::palette().color(QPalette::Button)
                                    : QColor(240, 240, 240);
}

namespace {
void setBackground(QWidget* w, const QColor& colour) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, colour);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}
} // namespace

void SetFormColors(QWidget* form, bool includePictureBoxes) {
    const QColor face = buttonFaceColor();
    setBackground(form, face);
    for (QWidget* child : form->findChildren<QWidget*>()) {
        const bool plain = qobject_cast<QGroupBox*>(child) || qobject_cast<QLabel*>(child) ||
                           qobject_cast<QRadioButton*>(child) || qobject_cast<QCheckBox*>(child);
        const bool pictureBox = child->property("pictureBox").toBool();
        if (plain || (includePictureBoxes && pictureBox))
            setBackground(child, face);
    }
}

void SkinFramework::invoke(int dispatchId, const QVariantList& arguments) {
    switch (dispatchId) {
    case 2: { // load the skin
        const QString path = arguments.value(0).toString();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            throw Failure(failures::kFileNotFound);
        mStyleSheet = QString::fromUtf8(file.readAll());
        mSkinPath = path;
        return;
    }
    case 3: { // apply to a window, given by its handle
        const auto id = static_cast<WId>(arguments.value(0).toULongLong());
        mWindow = QWidget::find(id);
        if (!mWindow)
            throw Failure(failures::kInvalidArgument);
        mWindow->setStyleSheet(mStyleSheet);
        return;
    }
    default:
        throw Failure(QStringLiteral("Object doesn't support this property or method"));
    }
}

QVariant SkinFramework::property(int dispatchId) const {
    switch (dispatchId) {
    case 1:
        return mOptions;
    case 5:
        return mProperty5;
    case 10:
        return mProperty10;
    default:
        throw Failure(QStringLiteral("Object doesn't support this property or method"));
    }
}

void SkinFramework::setProperty(int dispatchId, const QVariant& value) {
    switch (dispatchId) {
    case 1:
        mOptions = value.toInt();
        return;
    case 5:
        mProperty5 = value.toBool();
        return;
    case 10:
        mProperty10 = value.toBool();
        return;
    default:
        throw Failure(QStringLiteral("Object doesn't support this property or method"));
    }
}

QString skinFilePath() {
    return appFilePath(QStringLiteral("x/o.cjs"));
}

bool skinFileFound() {
    const QFileInfo info(skinFilePath());
    // The directory search matches ordinary files only: hidden files and anything that is
    // not a regular file do not count.
    return info.exists() && info.isFile() && !info.isHidden() && !info.isSymLink();
}

void ApplySkin(QWidget* form1, SkinFramework& skin) {
    if (!skinFileFound())
        return;
    SetFormColors(form1, true);
    skin.invoke(2, {skinFilePath(), QString()});
    const int options = skin.property(1).toInt();
    skin.setProperty(1, options | 1);
    skin.setProperty(5, true);
    skin.setProperty(10, true);
    skin.invoke(3, {QVariant::fromValue(static_cast<qulonglong>(form1->winId()))});
}

QString handCursorPath() {
    return appFilePath(QStringLiteral("HAND-M.CUR"));
}

namespace {
int u16At(const QByteArray& data, qsizetype at) {
    return qFromLittleEndian<quint16>(data.constData() + at);
}
qsizetype u32At(const QByteArray& data, qsizetype at) {
    return static_cast<qsizetype>(qFromLittleEndian<quint32>(data.constData() + at));
}

// Makes the pixels transparent whose bit is set in the image's 1-bit AND mask, which follows
// the colour rows; both are stored bottom-up, rows padded to four bytes.
QImage applyAndMask(const QByteArray& data, qsizetype imageOffset, int bitCount, QImage image) {
    const int w = image.width();
    const int h = image.height();
    const qsizetype colourRow = (qsizetype(w) * bitCount + 31) / 32 * 4;
    const qsizetype maskRow = (w + 31) / 32 * 4;
    const qsizetype maskStart = imageOffset + u32At(data, imageOffset) + colourRow * h;
    if (maskStart + maskRow * h > data.size())
        return image;
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y) {
        const auto* row =
            reinterpret_cast<const uchar*>(data.constData() + maskStart + (h - 1 - y) * maskRow);
        for (int x = 0; x < w; ++x)
            if (row[x / 8] & (0x80 >> (x % 8)))
                image.setPixel(x, y, qRgba(0, 0, 0, 0));
    }
    return image;
}
} // namespace

QImage readIcoImage(const QByteArray& data, int index) {
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ico");
    if (!reader.jumpToImage(index))
        return {};
    QImage image = reader.read();
    const qsizetype entry = 6 + 16 * qsizetype(index);
    if (image.isNull() || entry + 16 > data.size())
        return image;
    const qsizetype offset = u32At(data, entry + 12);
    if (offset < 0 || offset + 40 > data.size())
        return image;
    // Qt's reader keeps the mask of paletted images and the alpha bytes of 32-bit ones, but
    // drops the mask of 16- and 24-bit images, which would show their transparent parts black.
    const int bitCount = u16At(data, offset + 14);
    if (bitCount != 16 && bitCount != 24)
        return image;
    return applyAndMask(data, offset, bitCount, image);
}

QCursor loadCursorFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(failures::kFileNotFound);
    const QByteArray data = file.readAll();
    // ICONDIR (reserved 0, type 2 = cursor, count) then ICONDIRENTRY whose planes and bit
    // count fields hold the hot spot.
    if (data.size() < 22 || u16At(data, 0) != 0 || u16At(data, 2) != 2 || u16At(data, 4) < 1)
        throw Failure(QStringLiteral("Invalid picture"));
    const int hotX = u16At(data, 10);
    const int hotY = u16At(data, 12);
    // Qt's icon reader takes the cursor once its type is read as an icon's.
    QByteArray asIcon = data;
    asIcon[2] = 1;
    const QImage image = readIcoImage(asIcon, 0);
    if (image.isNull())
        throw Failure(QStringLiteral("Invalid picture"));
    return QCursor(QPixmap::fromImage(image), qMin(hotX, image.width() - 1),
                   qMin(hotY, image.height() - 1));
}

QCursor cursorForPointer(int pointer, const std::optional<QCursor>& custom) {
    if (pointer == kPointerHourglass)
        return Qt::WaitCursor;
    if (pointer == kPointerCustom && custom)
        return *custom;
    return Qt::ArrowCursor;
}

QIcon appIcon() {
    QFile file(QStringLiteral(":/icons/app.ico"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.readAll();
    QIcon icon;
    const int count = data.size() >= 6 ? u16At(data, 4) : 0;
    for (int i = 0; i < count; ++i) {
        const QImage image = readIcoImage(data, i);
        if (!image.isNull())
            icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

bool showsKeyboardFocus(const QWidget* control) {
    return control->hasFocus() && control->window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

void drawFocusMark(QPainter& painter, const QRect& rect, const QPalette& palette, bool dotted) {
    constexpr int kWidth = 2;
    painter.save();
    QPen pen(palette.color(QPalette::Active, QPalette::Highlight), kWidth,
             dotted ? Qt::DotLine : Qt::SolidLine);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    // A pen is centred on its path: half its width in from the edge keeps the line inside.
    painter.drawRect(
        QRectF(rect).adjusted(kWidth / 2.0, kWidth / 2.0, -kWidth / 2.0, -kWidth / 2.0));
    painter.restore();
}

} // namespace pq
