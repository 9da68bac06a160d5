#include "cli_run.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

const std::string Demo = std::string(VELMARIS_SOURCE_DIR) + "/examples/demo.hex";
const std::string DemoBin = std::string(VELMARIS_SOURCE_DIR) + "/examples/demo.bin";
const char* const Kinds[] = {"Uoz",    "Tau",  "CoefCorUoz", "CoefCorTau", "CorUoz",
                             "CorTau", "Pmax", "Lambda",     "Rcod",       "Drmax"};

// The text of the value of a top-level key of a JSON object, up to the next key.
std::string JsonValue(const std::string& json, const std::string& key) {
    const size_t at = json.find("\n  \"" + key + "\":");
    if (at == std::string::npos)
        return "";
    const size_t start = at + key.size() + 6;
    const size_t end = json.find("\n  \"", start);
    std::string value =
        json.substr(start, end == std::string::npos ? std::string::npos : end - start);
    while (!value.empty() && (value.back() == '\n' || value.back() == ',' || value.back() == '}'))
        value.pop_back();
    return value;
}

std::string ReadFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& name, const std::string& text) {
    std::ofstream(name, std::ios::binary) << text;
}

} // namespace

TEST(CliMap, GetPrintsTheTablesThatDecodePrints) {
    for (const bool o2 : {false, true}) {
        const std::string flag = o2 ? " --o2" : "";
        const CliRun decoded = RunCliCommand("decode " + ShellQuote(Demo) + flag);
        ASSERT_EQ(decoded.status, 0);
        for (const std::string kind : Kinds) {
            SCOPED_TRACE(kind + flag);
            const CliRun got =
                RunCliCommand("map get " + ShellQuote(Demo) + " " + kind + " --json" + flag);
            ASSERT_EQ(got.status, 0) << got.err;
            EXPECT_EQ(JsonValue(got.out, "map"), "\"" + kind + "\"");
            std::string expected = JsonValue(decoded.out, kind);
            if (expected[1] != '[') { // a one-column table: decode prints it as a vector
                std::string nested = "[";
                for (size_t i = 1; i < expected.size(); ++i)
                    nested += expected[i] == ','   ? "],["
                              : expected[i] == ']' ? "]]"
                                                   : std::string(1, expected[i]);
                expected = "[" + nested.substr(1);
                expected.insert(1, "[");
            }
            EXPECT_EQ(JsonValue(got.out, "cells"), expected);
        }
    }
    // Names are case-insensitive; an unknown one is bad input.
    const CliRun csv = RunCliCommand("map get " + ShellQuote(Demo) + " rcod");
    EXPECT_EQ(csv.status, 0);
    EXPECT_EQ(csv.out.substr(0, csv.out.find('\n')),
              "N\\P,44,102,158,214,272,328,385,443,500,558,610");
    EXPECT_EQ(RunCliCommand("map get " + ShellQuote(Demo) + " Nothing").status, 2);
}

TEST(CliMap, SetWithGetsOwnOutputChangesNothingAndRefusesABadFileWhole) {
    TempDir dir;
    for (const std::string kind : Kinds) {
        SCOPED_TRACE(kind);
        const CliRun got = RunCliCommand("map get " + ShellQuote(Demo) + " " + kind + " --o2");
        WriteFile(dir.File("t.csv"), got.out);
        const CliRun set = RunCliCommand("map set " + ShellQuote(Demo) + " " + kind + " " +
                                         ShellQuote(dir.File("t.csv")) + " " +
                                         ShellQuote(dir.File("out.bin")) + " --o2");
        ASSERT_EQ(set.status, 0) << set.err;
        EXPECT_EQ(set.out, "0 cells changed, 0 clamped\n");
        EXPECT_EQ(ReadFile(dir.File("out.bin")), ReadFile(DemoBin));
    }

    // One value changed, one beyond what the byte holds (taken to its end on request), one left
    // empty.
    std::string csv = RunCliCommand("map get " + ShellQuote(Demo) + " Uoz").out;
    const size_t row1 = csv.find('\n') + 1;
    const size_t f1 = csv.find(',', row1) + 1;
    const size_t f2 = csv.find(',', f1) + 1;
    const size_t f3 = csv.find(',', f2) + 1;
    const std::string kept = csv.substr(f3, csv.find(',', f3) - f3);
    csv = csv.substr(0, f1) + "-40,12.3," + csv.substr(csv.find(',', f3));
    WriteFile(dir.File("u.csv"), csv);
    const CliRun set =
        RunCliCommand("map set " + ShellQuote(Demo) + " uoz " + ShellQuote(dir.File("u.csv")) +
                      " " + ShellQuote(dir.File("u.bin")) + " --clamp");
    EXPECT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(set.out, "2 cells changed, 1 clamped\n");
    const std::string again =
        RunCliCommand("map get " + ShellQuote(dir.File("u.bin")) + " Uoz").out;
    const std::string row = "600,0,12.5," + kept + ",";
    EXPECT_EQ(again.substr(row1, row.size()), row);
    EXPECT_EQ(RunCliCommand("checksum " + ShellQuote(dir.File("u.bin"))).status, 0);

    // A non-number and a missing line: exit 2, the place named, nothing written.
    std::string bad = csv;
    bad.replace(f1, 3, "abc");
    WriteFile(dir.File("bad.csv"), bad);
    CliRun refused =
        RunCliCommand("map set " + ShellQuote(Demo) + " Uoz " + ShellQuote(dir.File("bad.csv")) +
                      " " + ShellQuote(dir.File("none.bin")));
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("line 2, column 2"), std::string::npos) << refused.err;
    WriteFile(dir.File("short.csv"), csv.substr(0, csv.rfind('\n', csv.size() - 2) + 1));
    refused =
        RunCliCommand("map set " + ShellQuote(Demo) + " Uoz " + ShellQuote(dir.File("short.csv")) +
                      " " + ShellQuote(dir.File("none.bin")));
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("line 40, column 1"), std::string::npos) << refused.err;
    EXPECT_FALSE(std::ifstream(dir.File("none.bin")).good());
}

TEST(CliMap, SetRefusesValuesBeyondTheRangeAndFilesThatAreNoCsv) {
    TempDir dir;
    const std::string csv = RunCliCommand("map get " + ShellQuote(Demo) + " Uoz").out;
    const size_t f1 = csv.find(',', csv.find('\n') + 1) + 1;
    const size_t f1End = csv.find(',', f1);
    auto setFrom = [&](const std::string& file, const std::string& flags = "") {
        return RunCliCommand("map set " + ShellQuote(Demo) + " Uoz " + ShellQuote(file) + " " +
                             ShellQuote(dir.File("out.bin")) + flags);
    };
    auto refuses = [&](const std::string& file, const std::string& says) {
        SCOPED_TRACE(file);
        const CliRun run = setFrom(file);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find(says), std::string::npos) << run.err;
        EXPECT_FALSE(std::ifstream(dir.File("out.bin")).good());
    };
    // Line 2, column 2 is the first cell; the last line's last field is the table's last cell.
    for (const std::string value : {"2000", "NAN", "INF", "-0.3"}) {
        WriteFile(dir.File("v.csv"), csv.substr(0, f1) + value + csv.substr(f1End));
        refuses(dir.File("v.csv"), "line 2, column 2: ");
    }
    const CliRun range = setFrom(dir.File("v.csv"));
    EXPECT_NE(range.err.find("0.0 .. 127.5"), std::string::npos) << range.err;
    WriteFile(dir.File("last.csv"), csv.substr(0, csv.rfind(',') + 1) + "128\n");
    refuses(dir.File("last.csv"), "line 40, column 23: 128 is outside");

    // Asked to clamp, the value beyond the range takes the end; NaN and infinity still have none.
    WriteFile(dir.File("v.csv"), csv.substr(0, f1) + "2000" + csv.substr(f1End));
    const CliRun clamped = setFrom(dir.File("v.csv"), " --clamp");
    EXPECT_EQ(clamped.status, 0) << clamped.err;
    EXPECT_EQ(clamped.out, "1 cells changed, 1 clamped\n");
    std::remove(dir.File("out.bin").c_str());
    for (const std::string value : {"NAN", "-INF"}) {
        WriteFile(dir.File("v.csv"), csv.substr(0, f1) + value + csv.substr(f1End));
        EXPECT_EQ(setFrom(dir.File("v.csv"), " --clamp").status, 2) << value;
    }

    // A folder, a FIFO (which would wait for a writer), and an endless or oversized file.
    refuses(dir.Path(), "is a folder");
    const std::string fifo = dir.File("fifo.csv");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    refuses(fifo, "not a regular file");
    refuses("/dev/zero", "not a regular file");
    // A file that cannot be looked at is reported with the system's reason.
    refuses(dir.File("none.csv"), "none.csv: No such file or directory");
    std::filesystem::create_symlink("loop2.csv", dir.File("loop1.csv"));
    std::filesystem::create_symlink("loop1.csv", dir.File("loop2.csv"));
    refuses(dir.File("loop1.csv"), "loop1.csv: Too many levels of symbolic links");
    WriteFile(dir.File("big.csv"), csv + std::string(2 * 1024 * 1024, '\n'));
    refuses(dir.File("big.csv"), "too large");
}
