#include "programmer/runs.h"

#include <cstdio>

namespace prog {

namespace {

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(value));
    return text;
}

// How many differing addresses a text names before it only counts the rest.
constexpr std::size_t NamedOffsets = 20;

} // namespace

std::size_t count_differences(const uint8_t* a, const uint8_t* b) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < MemorySize; ++i)
        count += a[i] != b[i] ? 1 : 0;
    return count;
}

std::vector<uint32_t> differing_offsets(const uint8_t* a, const uint8_t* b) {
    std::vector<uint32_t> offsets;
    for (uint32_t i = 0; i < MemorySize; ++i)
        if (a[i] != b[i])
            offsets.push_back(i);
    return offsets;
}

bool unit_intact(UnitState state) {
    return state == UnitState::Untouched || state == UnitState::Programmed;
}

std::string unit_state_text(const ProgramReport& report) {
    switch (report.state) {
    case UnitState::Untouched:
        return "the unit is untouched (nothing was erased)";
    case UnitState::Erased:
        if (report.erasedSectors == 0)
            return "the unit may be partly erased (erasing sector 0 failed) and nothing was "
                   "written";
        return "the unit is erased (" + std::to_string(report.erasedSectors) + " of " +
               std::to_string(SectorCount) + " sectors; erasing sector " +
               std::to_string(report.erasedSectors) + " failed) and nothing was written";
    case UnitState::PartlyProgrammed:
        return "the unit is erased and partly programmed (up to " + Hex(report.writtenUpTo) + ")";
    case UnitState::Unverified:
        return "the unit is programmed but not verified (the verifying read failed)";
    case UnitState::Differs: {
        std::string text = "the unit is programmed with " + std::to_string(report.differences) +
                           " differing bytes at";
        const std::vector<uint32_t>& at = report.differingOffsets;
        for (std::size_t i = 0; i < at.size() && i < NamedOffsets; ++i)
            text += (i == 0 ? " " : ", ") + Hex(at[i]);
        if (at.size() > NamedOffsets)
            text += " and " + std::to_string(at.size() - NamedOffsets) + " more";
        return text;
    }
    case UnitState::Programmed:
        return "the unit is programmed and verified";
    }
    return "";
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
    // From the first erase call on, the unit no longer holds what it held: a call that fails
    // may have cleared its sector in part.
    report.state = UnitState::Erased;
    for (int sector = 0; sector < SectorCount; ++sector) {
        if (!erase_sector(link, sector)) {
            report.outcome = ProgramOutcome::EraseFailed;
            return report;
        }
        report.erasedSectors = sector + 1;
    }
    tell(ProgramPhase::Programming);
    for (int region = 0; region < RegionCount; ++region) {
        uint32_t stoppedAt = 0;
        const RunResult r = program_region(link, image, region, step, &stoppedAt);
        if (r != RunResult::Ok) {
            report.outcome =
                r == RunResult::Stopped ? ProgramOutcome::Stopped : ProgramOutcome::BlockFailed;
            report.state = UnitState::PartlyProgrammed;
            report.writtenUpTo = stoppedAt;
            return report;
        }
    }
    tell(ProgramPhase::Verifying);
    report.state = UnitState::Unverified;
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
    report.differingOffsets = differing_offsets(image, readBack);
    report.differences = report.differingOffsets.size();
    report.outcome = report.differences == 0 ? ProgramOutcome::Ok : ProgramOutcome::VerifyMismatch;
    report.state = report.differences == 0 ? UnitState::Programmed : UnitState::Differs;
    return report;
}

} // namespace prog
