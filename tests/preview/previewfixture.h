#pragma once

// Helpers for the preview tests: a Form2 on scripted dialogs, pictures of given sizes, the
// hand-off of a run and synthetic mouse events.

#include "mainwindow/services/pushbutton.h"
#include "preview/form2.h"
#include "spreadsheet/engine/xls/xlsfile.h"
#include "spreadsheet/picture.h"
#include "support/samplechart.h"
#include "support/scripteddialogs.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace pq::test {

// A vector picture of the given size: left half red, right half blue.
inline Picture svgPicture(int width, int height) {
    const QString svg =
        QStringLiteral("<svg xmlns='http://www.w3.org/2000/svg' width='%1' height='%2'>"
                       "<rect x='0' y='0' width='%3' height='%2' fill='#ff0000'/>"
                       "<rect x='%3' y='0' width='%3' height='%2' fill='#0000ff'/></svg>")
            .arg(width)
            .arg(height)
            .arg(width / 2.0);
    return Picture::fromSvg(svg.toUtf8());
}

inline void sendMouse(QWidget* to, QEvent::Type type, QPointF at, Qt::MouseButton button,
                      Qt::MouseButtons held) {
    QMouseEvent e(type, at, to->mapToGlobal(at), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(to, &e);
}

class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        form = std::make_unique<Form2>(dialogs);
        form->setShowForm1([this] { ++form1Shown; });
        form->setEndProcess([this] { ++processEnded; });
    }

    // What a generation run does, then the activation that runs the set-up.
    void handOver(const Picture& picture, const QString& workbook = QString()) {
        form->setPicture(picture);
        form->setExcelFile(workbook);
        form->Form_Activate();
    }

    // Hands over the sample chart of `generations` columns, written as its temporary workbook.
    void showSampleChart(int generations) {
        engine::WorkbookModel workbook;
        buildSampleChart(workbook, generations);
        const QString path = dir.filePath(QStringLiteral("qorrow%1.xls").arg(generations));
        engine::writeXls(workbook, path);
        handOver(svgPicture(100, 100), path);
    }

    QSize picture1Size() const { return form->Picture1->size(); }
    QPoint picture1Pos() const { return form->Picture1->pos(); }

    ScriptedDialogs dialogs;
    QTemporaryDir dir;
    std::unique_ptr<Form2> form;
    int form1Shown = 0;
    int processEnded = 0;
};

} // namespace pq::test
