#pragma once

// A picture object as the clipboard and picture files deliver it: a vector picture (SVG) or a
// bitmap. Loading goes by the file's content, not its name.

#include "base/safefile.h"

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>
#include <memory>

class QPainter;
class QSvgRenderer;

namespace pq {

class Picture {
public:
    Picture() = default;
    static Picture fromSvg(const QByteArray& svg); // throws Failure("Invalid picture")
    static Picture fromImage(const QImage& image);
    // Loads a picture file, SVG or any bitmap format Qt reads; throws Failure.
    static Picture load(const QString& path);

    bool isNull() const { return !mSvgRenderer && mImage.isNull(); }
    bool isVector() const { return static_cast<bool>(mSvgRenderer); }
    QSize size() const; // pixels at factor 1

    // Writes the picture in its own format (SVG or PNG); throws WriteFailure.
    void save(const QString& path, ExistingFile existing = ExistingFile::Replace) const;

    // Draws the part `source` of the picture (picture pixels) stretched into `target`.
    // A vector picture draws only the row bands that meet `source`.
    void paint(QPainter& painter, const QRectF& target, const QRectF& source) const;

private:
    QByteArray mSvg;
    std::shared_ptr<QSvgRenderer> mSvgRenderer;
    QImage mImage;
};

} // namespace pq
