// The preview's costs: one zoom step (redraw plus the paint of what the viewport shows) at
// every factor for a five-generation chart, and one drag move on a tall chart. The resident
// memory after each run is reported as a counter.

#include "benchsupport.h"
#include "preview/form2.h"
#include "preview/previewmath.h"
#include "spreadsheet/picture.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QScrollBar>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

class NoDialogs final : public pq::DialogService {
public:
    pq::MsgResult message(const pq::MessageRequest&) override { return pq::MsgResult::Ok; }
    QString saveFileName(const pq::SaveDialogRequest&) override { return {}; }
};

// A chart-like drawing: gridlines, coloured boxes with borders and text in some cells, rows of
// 20 pixels grouped in bands of 32 rows as the range picture groups them. Without names the
// boxes are blank, as on a fresh chart.
QByteArray chartSvg(int columns, int rows, bool names = true) {
    constexpr int kColumnWidth = 199;
    constexpr int kRowHeight = 20;
    QByteArray svg = QStringLiteral("<svg xmlns='http://www.w3.org/2000/svg' width='%1' "
                                    "height='%2' font-family='Arial' font-size='11'>")
                         .arg(columns * kColumnWidth)
                         .arg(rows * kRowHeight)
                         .toUtf8();
    for (int band = 0; band * 32 < rows; ++band) {
        svg += QStringLiteral("<g id='rows-%1'>").arg(band).toUtf8();
        for (int r = band * 32; r < qMin(rows, band * 32 + 32); ++r) {
            const int y = r * kRowHeight;
            svg += QStringLiteral("<line x1='0' y1='%1' x2='%2' y2='%1' stroke='#d0d0d0'/>")
                       .arg(y + 19.5)
                       .arg(columns * kColumnWidth)
                       .toUtf8();
            for (int c = 0; c < columns; ++c) {
                if ((r + c) % 3 != 0)
                    continue;
                svg += QStringLiteral("<rect x='%1' y='%2' width='179' height='19' "
                                      "fill='#ccffcc' stroke='black'/>")
                           .arg(c * kColumnWidth + 10)
                           .arg(y)
                           .toUtf8();
                if (names)
                    svg += QStringLiteral("<text x='%1' y='%2'>Name %3</text>")
                               .arg(c * kColumnWidth + 14)
                               .arg(y + 14)
                               .arg(r)
                               .toUtf8();
            }
        }
        svg += "</g>";
    }
    return svg + "</svg>";
}

double residentMegabytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0.0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0.0;
}

struct Preview {
    explicit Preview(const QByteArray& svg)
        : baselineMB(residentMegabytes()), form(std::make_unique<pq::Form2>(dialogs)) {
        form->setEndProcess([] {});
        form->setPicture(pq::Picture::fromSvg(svg));
        form->Form_Activate();
        form->show();
    }
    // Renders what the viewport shows, as a paint of the window would.
    void paintViewport() { benchmark::DoNotOptimize(form->viewportInside()->grab()); }
    // What the process grew by since just before the preview and its picture were made.
    double grownMB() const { return residentMegabytes() - baselineMB; }
    NoDialogs dialogs;
    double baselineMB;
    std::unique_ptr<pq::Form2> form;
};

// The windows live until the process ends, as the preview does; they are never destroyed so
// that nothing of theirs outlives the QApplication.
Preview& zoomPreview() {
    static auto* preview = new Preview(chartSvg(5, 35)); // 995 x 700
    return *preview;
}

Preview& tallPreview(bool names) {
    static auto* withNames = new Preview(chartSvg(15, 32500, true)); // 2985 x 650000
    static auto* blank = new Preview(chartSvg(15, 32500, false));
    return names ? *withNames : *blank;
}

void BM_ZoomStep(benchmark::State& state) {
    Preview& preview = zoomPreview();
    const float factor = static_cast<float>(state.range(0)) * pq::kZoomStep;
    for (auto _ : state) {
        preview.form->SetZoom(factor);
        preview.paintViewport();
    }
    if (preview.form->mZoom != factor)
        state.SkipWithError("factor not reached");
    state.counters["rss_MB"] = residentMegabytes();
    state.counters["grown_MB"] = preview.grownMB();
}
BENCHMARK(BM_ZoomStep)->DenseRange(1, 16)->Unit(benchmark::kMillisecond);

// Argument 1: a name in every third box; 0: blank boxes.
void BM_DragMoveTallPicture(benchmark::State& state) {
    Preview& preview = tallPreview(state.range(0) != 0);
    // From the middle of the chart; the point grabbed stays at 300, so the pointer's y relative
    // to the picture alternates between 37 pixels below and above it.
    preview.form->VScroll1->setValue(preview.form->VScroll1->maximum() / 2);
    preview.form->Picture1_MouseDown(1, 0, 300.0f, 300.0f);
    float y = 263.0f;
    for (auto _ : state) {
        y = y == 263.0f ? 337.0f : 263.0f;
        preview.form->Picture1_MouseMove(1, 0, 300.0f, y);
        preview.paintViewport();
    }
    state.counters["rss_MB"] = residentMegabytes();
    state.counters["grown_MB"] = preview.grownMB();
}
BENCHMARK(BM_DragMoveTallPicture)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
int main(int argc, char** argv) {
    return pq::bench::runInQtApplication(argc, argv);
}
