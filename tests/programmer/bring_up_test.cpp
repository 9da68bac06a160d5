// The one bring-up the window and the command line share: what it makes of the line, and that
// it finds the unit in every state a stopped run can leave it in.
#include "ecu_model.h"
#include "model_link.h"
#include "programmer/bring_up.h"
#include "programmer/line_watch.h"
#include "programmer/protocol.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

using namespace prog;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

namespace {

const Bytes WakeFrame = {0x55, 0xAB, 0x00};

// The in-process unit, with every frame the host sent recorded.
struct RecordingModelLink : ModelLink {
    using ModelLink::ModelLink;
    std::vector<Bytes> sent;
    bool write_block(uint8_t* buffer, std::size_t n) override {
        sent.emplace_back(buffer, buffer + n);
        return ModelLink::write_block(buffer, n);
    }
    bool WokenUp() const { return std::find(sent.begin(), sent.end(), WakeFrame) != sent.end(); }
};

// Drives the bring-up as the command line does, stepping by the delays it asks for.
bool Drive(LinkBringUp& bringUp, SerialLink& link, int maxMs, int* hints = nullptr) {
    const auto end = Clock::now() + std::chrono::milliseconds(maxMs);
    while (Clock::now() < end) {
        const LinkStep step = bringUp.Advance(link);
        if (hints != nullptr && step.hint)
            ++*hints;
        if (bringUp.linked())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(step.nextInMs));
    }
    return false;
}

} // namespace

TEST(LineWatch, TellsSilenceBurstsAndStreamsApart) {
    struct Case {
        LineActivity seen;
        LineKind kind;
    };
    const Case cases[] = {
        {{0, 0, 600}, LineKind::Silent},
        {{20, 0, 580}, LineKind::Bursts},      // one burst, then its pause
        {{40, 480, 90}, LineKind::Bursts},     // two bursts, the second just over
        {{21, 0, 580}, LineKind::StreamEnded}, // one byte more than a burst holds
        {{600, 2, 1}, LineKind::Streaming},    // back to back to the end of the watch
        {{600, 2, StreamGapMs}, LineKind::StreamEnded},
        {{600, StreamGapMs, 1}, LineKind::Bursts}, // a pause as long as a gap is no stream
    };
    for (const Case& c : cases)
        EXPECT_EQ(classify_line(c.seen, ListenLength), c.kind)
            << c.seen.bytes << " bytes, gap " << c.seen.longestGapMs << ", quiet "
            << c.seen.quietAtEndMs;
}

// A run killed at any moment leaves the unit asleep, woken but waiting for its access code,
// synchronised at 9600 bit/s, or moved to the wanted speed (during a read or programming). A
// woken unit ignores the wake-up sequence, so only asking it directly finds it. The next
// bring-up links in every case and wakes no unit that can answer at the speed asked first;
// one left at the other speed takes that question for noise and falls asleep, and is woken.
TEST(BringUp, FindsTheUnitWhereverAStoppedRunLeftIt) {
    struct Case {
        const char* left;
        int stepsDone; // 0 asleep, 1 woken, 2 synchronised, 3 linked at 19200
        int wanted;
        bool wakes;
    };
    for (const Case c :
         {Case{"asleep", 0, 19200, true}, Case{"woken", 1, 9600, false},
          Case{"synchronised", 2, 9600, false}, Case{"linked at 19200", 3, 19200, false},
          Case{"woken, 19200 wanted", 1, 19200, true}}) {
        SCOPED_TRACE(c.left);
        EcuModel unit(EcuModel::Mode::Asleep);
        {
            ModelLink before(unit);
            if (c.stepsDone >= 1) {
                ASSERT_TRUE(wake_up(before));
            }
            if (c.stepsDone >= 2) {
                send_access_code(before);
                ASSERT_TRUE(link_test(before));
            }
            if (c.stepsDone >= 3) {
                ASSERT_TRUE(check_link(before, 19200));
            }
        }
        RecordingModelLink link(unit);
        link.speed = 19200; // the port opens at 19200 bit/s
        LinkBringUp bringUp(c.wanted);
        bringUp.Restart();
        ASSERT_TRUE(Drive(bringUp, link, 8000));
        EXPECT_EQ(unit.speed(), c.wanted);
        EXPECT_EQ(link.speed, c.wanted);
        EXPECT_EQ(link.WokenUp(), c.wakes);
        EXPECT_TRUE(link_test(link));
    }
}

// A link check that fails (the unit reset) sends the bring-up looking for the unit again; the
// hint comes once, after the unit has been silent for the given time, and not while linked.
TEST(BringUp, ALostLinkIsFoundAgainAndSilenceBringsOneHint) {
    EcuModel unit(EcuModel::Mode::Asleep);
    RecordingModelLink link(unit);
    LinkBringUp bringUp(19200, 4000);
    bringUp.Restart();
    int hints = 0;
    ASSERT_TRUE(Drive(bringUp, link, 8000, &hints));
    EXPECT_EQ(hints, 0);

    unit = EcuModel(EcuModel::Mode::Asleep); // ignition off and on
    const LinkStep check = bringUp.Advance(link);
    EXPECT_TRUE(check.lost);
    EXPECT_FALSE(bringUp.linked());
    ASSERT_TRUE(Drive(bringUp, link, 8000, &hints));
    EXPECT_EQ(hints, 0);

    ScriptedLink silent; // echoes, never answers
    LinkBringUp nobody(19200, 4000);
    nobody.Restart();
    EXPECT_FALSE(Drive(nobody, silent, 6500, &hints));
    EXPECT_EQ(hints, 1);
}

// The rest of a stopped read runs out before anything is sent: a frame sent into it would be
// lost in the stream, and its bytes would pass for answers.
TEST(BringUp, WaitsForAStreamToEndBeforeSendingAnything) {
    struct StreamThenUnit : RecordingModelLink {
        using RecordingModelLink::RecordingModelLink;
        Clock::time_point streamEnds = Clock::now() + std::chrono::milliseconds(2500);
        Clock::time_point firstFrame{};
        std::size_t read_some(uint8_t* buffer, std::size_t max, int waitMs) override {
            if (Clock::now() >= streamEnds)
                return ModelLink::read_some(buffer, max, waitMs);
            std::this_thread::sleep_for(std::chrono::milliseconds(5)); // 10 bytes at 19200
            const std::size_t n = std::min<std::size_t>(max, 10);
            std::fill_n(buffer, n, 0x5A);
            return n;
        }
        bool write_block(uint8_t* buffer, std::size_t n) override {
            if (firstFrame == Clock::time_point{})
                firstFrame = Clock::now();
            return RecordingModelLink::write_block(buffer, n);
        }
    };
    EcuModel unit(EcuModel::Mode::Asleep);
    {
        ModelLink before(unit);
        ASSERT_TRUE(wake_up(before));
        send_access_code(before);
        ASSERT_TRUE(check_link(before, 19200));
    }
    StreamThenUnit link(unit);
    std::vector<std::string> said;
    ASSERT_TRUE(
        bring_up(link, 19200, 3000, [&](const std::string& what) { said.push_back(what); }));
    EXPECT_GE(link.firstFrame, link.streamEnds);
    EXPECT_FALSE(link.WokenUp());
    EXPECT_EQ(said, std::vector<std::string>{"waiting for the unit to finish sending"});

    // Nobody to tell: the wait is the same, and nothing is called that is not there.
    StreamThenUnit quiet(unit);
    EXPECT_TRUE(bring_up(quiet, 19200, 3000));
    EXPECT_GE(quiet.firstFrame, quiet.streamEnds);
}
