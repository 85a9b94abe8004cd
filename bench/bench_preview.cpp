// The preview's costs: one zoom step (redraw plus the paint of what the viewport shows) at
// every factor for a five-generation chart, and one drag move on the fifteen-column chart. The
// resident memory after each run is reported as a counter.

#include "benchsupport.h"
#include "preview/form2.h"
#include "preview/previewmath.h"
#include "spreadsheet/engine/rangepicture.h"
#include "spreadsheet/picture.h"
#include "support/samplechart.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QScrollBar>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>

namespace {

class NoDialogs final : public pq::DialogService {
public:
    pq::MsgResult message(const pq::MessageRequest&) override { return pq::MsgResult::Ok; }
    QString saveFileName(const pq::SaveDialogRequest&) override { return {}; }
};

// The picture of a real chart as the generation run takes it; with names, every box holds
// one, as a chart being filled in does.
QByteArray chartSvg(int columns, bool names = false) {
    pq::engine::WorkbookModel workbook;
    pq::test::buildSampleChart(workbook, columns);
    pq::engine::SheetModel& sheet = workbook.activeSheet();
    if (names)
        for (int t = 0; t < columns; ++t)
            for (int i = 0; i < pq::test::sampleBoxCount(columns, t); ++i)
                sheet.setValue(pq::test::sampleBoxRow(t, i), 2 + t,
                               QStringLiteral("Name %1 %2").arg(t).arg(i));
    return pq::engine::renderRangeSvg(sheet, *sheet.usedRange());
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
    static auto* preview = new Preview(chartSvg(5)); // 866 x 598
    return *preview;
}

Preview& tallPreview(bool names) {
    static auto* withNames = new Preview(chartSvg(15, true)); // about 2000 x 557,000
    static auto* blank = new Preview(chartSvg(15, false));
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

// A drag from the top of a chart of so many generation columns (first argument) by so many
// pixels up (second), then its release and one step down the vertical bar. The counters give
// where the picture was let go, where the release leaves it (end_y) and where the step takes
// it (step_y); beside them where the drop's whole percentage alone would leave it
// (percent_end_y, percent_step_y), as the preview did before the drop kept its place.
void BM_DragAndRelease(benchmark::State& state) {
    const int columns = static_cast<int>(state.range(0));
    const float distance = static_cast<float>(state.range(1));
    static std::map<int, Preview*> previews;
    Preview*& preview = previews[columns];
    if (!preview)
        preview = new Preview(chartSvg(columns));
    pq::Form2& form = *preview->form;
    int dropped = 0;
    int ended = 0;
    int stepped = 0;
    for (auto _ : state) {
        form.VScroll1->setValue(0);
        form.Picture1_MouseDown(1, 0, 300.0f, 400.0f);
        form.Picture1_MouseMove(1, 0, 300.0f, 400.0f - distance);
        dropped = form.Picture1->y();
        form.Picture1_MouseUp(1, 0, 300.0f, 400.0f - distance);
        ended = form.Picture1->y();
        form.VScroll1->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        stepped = form.Picture1->y();
    }
    const int step = form.mVStep;
    const auto percent = pq::dropPercent(dropped, form.Picture1->height(), form.Picture2->height());
    const auto value =
        percent ? pq::valueForPercent(pq::CInt(*percent), form.VScroll1->maximum()) : std::nullopt;
    const int percentValue = value.value_or(0);
    state.counters["step"] = step;
    state.counters["dropped_y"] = dropped;
    state.counters["end_y"] = ended;
    state.counters["step_y"] = stepped;
    state.counters["percent_end_y"] = percentValue != 0 ? -step * percentValue : dropped;
    state.counters["percent_step_y"] = -step * (percentValue + 1);
}
BENCHMARK(BM_DragAndRelease)
    ->Args({5, 40})
    ->Args({10, 100})
    ->Args({12, 40})
    ->Args({12, 200})
    ->Args({15, 100})
    ->Unit(benchmark::kMicrosecond);

} // namespace
int main(int argc, char** argv) {
    return pq::bench::runInQtApplication(argc, argv);
}
