// How long the link takes to come up against the simulated unit on a pseudo-terminal at the
// line rate (10 bits per byte): a running unit sending its status bursts, a sleeping one, and
// one a stopped run left in its monitor at 19200 bit/s. Each is the time from opening the port
// to a link checked at 19200 bit/s. Budgets: a running unit 3 s, a sleeping one 3.5 s.

#include "programmer/bring_up.h"
#include "programmer/port/com_port.h"
#include "programmer/protocol.h"
#include "sim_process.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <chrono>
#include <memory>

namespace {

double BringUpSeconds(const std::string& link) {
    COMPort port([](const QString&, const QString&) {});
    port.set_port_name(QString::fromStdString(link));
    const auto start = std::chrono::steady_clock::now();
    if (!port.open() || !prog::bring_up(port, 19200, 15000))
        return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Measure(benchmark::State& state, const std::vector<std::string>& options, bool linkFirst) {
    for (auto _ : state) {
        SimProcess sim(options);
        if (linkFirst && BringUpSeconds(sim.link) < 0) {
            state.SkipWithError("the first link did not come up");
            return;
        }
        const double seconds = BringUpSeconds(sim.link);
        if (seconds < 0) {
            state.SkipWithError("the link did not come up");
            return;
        }
        state.SetIterationTime(seconds);
    }
}

void BM_BringUpRunningUnit(benchmark::State& state) {
    Measure(state, {"--awake", "--pace"}, false);
}
BENCHMARK(BM_BringUpRunningUnit)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_BringUpSleepingUnit(benchmark::State& state) {
    Measure(state, {"--pace"}, false);
}
BENCHMARK(BM_BringUpSleepingUnit)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_BringUpUnitLeftInItsMonitor(benchmark::State& state) {
    Measure(state, {"--pace"}, true);
}
BENCHMARK(BM_BringUpUnitLeftInItsMonitor)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv); // the serial port needs an application object
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
