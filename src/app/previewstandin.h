#pragma once

// TEMPORARY STAND-IN for the preview window Form2, replaced at merge: receives the generation
// run's hand-off and shows the chart's picture in a scrollable window. Closing it ends the
// program, as closing the preview does.

#include "generation/previewhandoff.h"

#include <QWidget>

class QLabel;

namespace pq {

class PreviewStandIn final : public QWidget, public PreviewHandOff {
public:
    PreviewStandIn();
    void setPicture(const Picture& picture) override;
    void setExcelFile(const QString& path) override { mExcelFile = path; }
    void showPreview() override { show(); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* mLabel;
    QString mExcelFile;
};

} // namespace pq
