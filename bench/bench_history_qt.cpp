// The edit history: undo and redo of a keypad step and of a unit read in the main window
// (bytes written back, Decode, the grid refilled with its marks), the memory of many keypad
// steps, and one journal append with its flush. Runs on a patterned image saved to a
// temporary file, so the journal is written as in real use.
#include "app/main_form.h"
#include "document/edit_history.h"
#include "image/edit_journal.h"
#include "maps/view/map_grid.h"
#include "qt_bench_main.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QUndoStack>
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <vector>

namespace {

struct OpenForm {
    QTemporaryDir dir;
    std::unique_ptr<TMainForm> form;
    OpenForm() {
        std::vector<uint8_t> bytes(FirmwareImage::Size);
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<uint8_t>(i * 7 + 3);
        const auto image = FirmwareImage::FromBytes(bytes.data());
        const QString file = dir.filePath(QStringLiteral("bench.bin"));
        image->SaveBin(file.toStdString());
        form = std::make_unique<TMainForm>();
        form->OpenFromCommandLine(file);
        form->show();
        QApplication::processEvents();
    }
    ~OpenForm() { form->GetImage().MarkSaved(); }
};

// Each iteration is one undo and one redo; the figure per step is half the time shown.
void UndoRedo(benchmark::State& state, const std::function<void(TMainForm&)>& makeStep) {
    OpenForm open;
    makeStep(*open.form);
    for (auto _ : state) {
        open.form->findChild<QAction*>("AUndo")->trigger();
        open.form->findChild<QAction*>("ARedo")->trigger();
    }
    state.counters["per_step_us"] = benchmark::Counter(
        2, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_UndoRedoKeypadStep(benchmark::State& state) {
    UndoRedo(state, [](TMainForm& form) {
        QKeyEvent plus(QEvent::KeyPress, Qt::Key_Plus, Qt::KeypadModifier, QStringLiteral("+"));
        QApplication::sendEvent(form.Grid(), &plus);
    });
}

void BM_UndoRedoUnitRead(benchmark::State& state) {
    UndoRedo(state, [](TMainForm& form) {
        std::vector<uint8_t> read(FirmwareImage::Size);
        for (size_t i = 0; i < read.size(); ++i)
            read[i] = static_cast<uint8_t>(i * 13 + 1);
        form.WindowEditPath()("Чтение ЭБУ", [&] { form.GetImage().ReplaceData(read.data()); });
    });
}

// The heap in use, blocks of their own (large arrays) included.
size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

double Megabytes(size_t bytes) {
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

// Keypad steps on one cell after another, so that none merges: the heap the history holds. The
// first pass over the 858 cells of the map also marks every cell changed, a cost of the grid that
// does not grow with the steps; it is shown apart, and heap_MB is the 10 000 steps that follow.
void BM_MemoryOfKeypadSteps(benchmark::State& state) {
    for (auto _ : state) {
        OpenForm open;
        TMainForm& form = *open.form;
        form.Document().History().DiscardJournal(); // memory only
        const int rows = 39, cols = 22, cells = rows * cols;
        auto press = [&](int i) {
            const int row = i % rows, col = (i / rows) % cols;
            form.Grid()->SetCurrentCell(col + 1, row + 1);
            form.SelectCellState(col + 1, row + 1);
            QKeyEvent key(QEvent::KeyPress, (i / cells) % 2 ? Qt::Key_Minus : Qt::Key_Plus,
                          Qt::KeypadModifier);
            QApplication::sendEvent(form.Grid(), &key);
        };
        const size_t opened = HeapInUse();
        for (int i = 0; i < cells; ++i)
            press(i);
        const size_t marked = HeapInUse();
        const int steps = 10000;
        for (int i = cells; i < cells + steps; ++i)
            press(i);
        state.counters["steps"] = form.Document().History().Stack()->count() - cells;
        state.counters["first_pass_MB"] = Megabytes(marked - opened);
        state.counters["heap_MB"] = Megabytes(HeapInUse() - marked);
    }
}

void BM_JournalAppendWithFlush(benchmark::State& state) {
    QTemporaryDir dir;
    EditJournal journal;
    journal.Start(dir.filePath(QStringLiteral("j")).toStdString(), "bench.bin", 0);
    int64_t t = 0;
    for (auto _ : state)
        journal.Push({"УОЗ 2000/43: 14,0 → 14,5", ++t, {{0x1234, 0x10, 0x11}}});
}

} // namespace

BENCHMARK(BM_UndoRedoKeypadStep)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UndoRedoUnitRead)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemoryOfKeypadSteps)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JournalAppendWithFlush)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    return RunQtBenchmarks(argc, argv);
}
