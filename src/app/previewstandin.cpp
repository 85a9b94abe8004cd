#include "previewstandin.h"

#include "mainwindow/appearance.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

namespace pq {

PreviewStandIn::PreviewStandIn() : mLabel(new QLabel) {
    setWindowTitle(kProductTitle);
    setWindowIcon(appIcon());
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(mLabel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
    resize(800, 600);
}

void PreviewStandIn::setPicture(const Picture& picture) {
    QImage image(picture.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    picture.paint(painter, QRectF(image.rect()), QRectF(image.rect()));
    painter.end();
    mLabel->setPixmap(QPixmap::fromImage(image));
    mLabel->adjustSize();
}

void PreviewStandIn::closeEvent(QCloseEvent* event) {
    event->accept();
    QCoreApplication::exit(0);
}

} // namespace pq
