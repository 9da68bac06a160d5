#include "programmer/runs.h"

namespace prog {

std::size_t count_differences(const uint8_t* a, const uint8_t* b) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < MemorySize; ++i)
        count += a[i] != b[i] ? 1 : 0;
    return count;
}

ProgramReport program_image(SerialLink& link, const uint8_t* image, uint8_t* readBack,
                            const ProgressStep& step,
                            const std::function<void(ProgramPhase)>& phase) {
    auto tell = [&](ProgramPhase p) {
        if (phase)
            phase(p);
    };
    ProgramReport report;
    tell(ProgramPhase::Protection);
    if (!protection_step(link)) {
        report.outcome = ProgramOutcome::ProtectionFailed;
        return report;
    }
    tell(ProgramPhase::Erasing);
    if (!erase_all(link)) {
        report.outcome = ProgramOutcome::EraseFailed;
        return report;
    }
    tell(ProgramPhase::Programming);
    for (int region = 0; region < RegionCount; ++region) {
        const RunResult r = program_region(link, image, region, step);
        if (r != RunResult::Ok) {
            report.outcome =
                r == RunResult::Stopped ? ProgramOutcome::Stopped : ProgramOutcome::BlockFailed;
            return report;
        }
    }
    tell(ProgramPhase::Verifying);
    switch (read_memory(link, readBack, step)) {
    case RunResult::Ok:
        break;
    case RunResult::NoAnswer:
        report.outcome = ProgramOutcome::VerifyNoAnswer;
        return report;
    case RunResult::Stopped:
        report.outcome = ProgramOutcome::Stopped;
        return report;
    default:
        report.outcome = ProgramOutcome::VerifyShortBlock;
        return report;
    }
    report.differences = count_differences(image, readBack);
    report.outcome = report.differences == 0 ? ProgramOutcome::Ok : ProgramOutcome::VerifyMismatch;
    return report;
}

} // namespace prog
