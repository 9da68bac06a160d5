// Keystroke to rewritten cell: one keypad plus or minus in the main window's grid, through
// SGKeyDown (re-read, step, write, Decode, format, set the cell's text). The 3-D view is not
// part of it (offscreen there is no OpenGL panel). Also the start of the editor to its window. Runs
// on examples/demo.hex when it exists, else on a patterned image.
#include "app/main_form.h"
#include "maps/view/map_grid.h"
#include "qt_bench_main.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <benchmark/benchmark.h>

#include <filesystem>
#include <vector>

namespace {

std::unique_ptr<TMainForm> MakeForm() {
    auto form = std::make_unique<TMainForm>();
    const std::filesystem::path demo =
        std::filesystem::path(__FILE__).parent_path().parent_path() / "examples" / "demo.hex";
    if (std::filesystem::exists(demo)) {
        form->OpenFromCommandLine(QString::fromStdString(demo.string()));
    } else {
        std::vector<uint8_t> bytes(FirmwareImage::Size);
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<uint8_t>(i * 7 + 3);
        form->GetImage().ReplaceData(bytes.data());
    }
    form->show();
    return form;
}

// A reference that differs from the image in every third byte, so that a third of the cells
// of every table carries a difference mark.
void OpenReference(TMainForm& form) {
    std::vector<uint8_t> bytes(FirmwareImage::Size);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(form.GetImage().ReadByte(static_cast<uint16_t>(i)) +
                                        (i % 3 == 0 ? 1 : 0));
    form.OpenReference(FirmwareImage::FromBytes(bytes.data()), QStringLiteral("reference"));
}

// Alternating plus and minus keeps the value away from the clamps. With `tinted` the cells are
// coloured by value, so every key recolours the table; with `sections` the 2-D curves of the
// current row and column are shown and redrawn.
void Keys(benchmark::State& state, bool paint, bool tinted = false, bool compare = false,
          bool sections = false) {
    auto form = MakeForm();
    if (compare)
        OpenReference(*form);
    // The view chosen is remembered: each benchmark sets its own.
    form->findChild<QAction*>(sections ? "MViewSections" : "MViewSurface")->trigger();
    form->MapAction(static_cast<MapKind>(state.range(0)))->trigger();
    form->findChild<QAction*>("MColour")->setChecked(tinted);
    form->MColourClick();
    QApplication::processEvents();
    QKeyEvent plus(QEvent::KeyPress, Qt::Key_Plus, Qt::KeypadModifier, QStringLiteral("+"));
    QKeyEvent minus(QEvent::KeyPress, Qt::Key_Minus, Qt::KeypadModifier, QStringLiteral("-"));
    bool up = true;
    for (auto _ : state) {
        QApplication::sendEvent(form->Grid(), up ? &plus : &minus);
        if (paint)
            QApplication::processEvents(); // the grid repaints the changed cell
        up = !up;
    }
    state.SetLabel(GetMapInfo(static_cast<MapKind>(state.range(0))).caption);
    form->GetImage().MarkSaved();
}

void BM_KeystrokeToCell(benchmark::State& state) {
    Keys(state, false);
}
void BM_KeystrokeToPaintedCell(benchmark::State& state) {
    Keys(state, true);
}
// With a reference open every keystroke also compares again and re-marks the whole table.
void BM_KeystrokeToMarkedCell(benchmark::State& state) {
    Keys(state, false, false, true);
}
void BM_KeystrokeToTintedCell(benchmark::State& state) {
    Keys(state, true, true);
}
// A day at the bench: colour by value, the 2-D curves and a comparison all on. Budget 1 ms.
void BM_KeystrokeWithEverythingOn(benchmark::State& state) {
    Keys(state, true, true, true, true);
}

// The parts of the above, to see where its time goes.
void BM_KeystrokeWithSections(benchmark::State& state) {
    Keys(state, true, false, false, true);
}
void BM_KeystrokeTintedAndCompared(benchmark::State& state) {
    Keys(state, true, true, true, false);
}
void BM_KeystrokeComparedPainted(benchmark::State& state) {
    Keys(state, true, false, true, false);
}

// Editor start to a shown window: the main window made, the demo image opened and the first
// paint done. Budget 0.5 s.
void BM_StartToWindow(benchmark::State& state) {
    for (auto _ : state) {
        auto form = MakeForm();
        QApplication::processEvents();
        benchmark::DoNotOptimize(form.get());
        state.PauseTiming();
        form.reset();
        state.ResumeTiming();
    }
}

// One operation on the whole main map through the window: compute, store, decode, rewrite the
// grid's changed cells and repaint. Adding and taking back half a degree changes every cell.
void BM_WholeMapOperationPainted(benchmark::State& state) {
    auto form = MakeForm();
    form->MapAction(MapKind::Uoz)->trigger();
    form->Grid()->SelectCells(1, 1, form->Grid()->ColCount() - 1, form->Grid()->RowCount() - 1);
    QApplication::processEvents();
    bool up = true;
    for (auto _ : state) {
        form->ApplyOperation(1, up ? 0.5 : -0.5); // "Прибавить"
        QApplication::processEvents();
        up = !up;
    }
    form->GetImage().MarkSaved();
}

} // namespace

BENCHMARK(BM_WholeMapOperationPainted)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeystrokeToCell)->DenseRange(0, 9)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeystrokeToMarkedCell)
    ->Arg(static_cast<int>(MapKind::Uoz))
    ->Arg(static_cast<int>(MapKind::Tau))
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeystrokeToPaintedCell)
    ->Arg(static_cast<int>(MapKind::Uoz))
    ->Arg(static_cast<int>(MapKind::Pmax))
    ->Unit(benchmark::kMicrosecond);

BENCHMARK(BM_KeystrokeToTintedCell)
    ->Arg(static_cast<int>(MapKind::Uoz))
    ->Arg(static_cast<int>(MapKind::Pmax))
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeystrokeWithEverythingOn)
    ->Arg(static_cast<int>(MapKind::Uoz))
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeystrokeWithSections)->Arg(0)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeystrokeTintedAndCompared)->Arg(0)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeystrokeComparedPainted)->Arg(0)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StartToWindow)->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char** argv) {
    return RunQtBenchmarks(argc, argv);
}
