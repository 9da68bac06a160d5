#include "image/step_log.h"

#include <gtest/gtest.h>

#include <stdexcept>

TEST(StepLog, KeepsNamesAndBytesAndGivesBackTheRoomOfRecordsDroppedFromTheEnd) {
    StepLog log;
    ChangeSet whole;
    for (uint32_t a = 0; a < 0x8000; ++a)
        whole.push_back(
            {static_cast<uint16_t>(a), static_cast<uint8_t>(a), static_cast<uint8_t>(~a)});
    const ChangeSet keypad = {{0x7FFF, 0x10, 0x11}, {0x1234, 0xFF, 0x00}};
    const auto first = log.Append("Чтение ЭБУ", whole);
    const auto second = log.Append("УОЗ 600/43: 14,0 → 15,0", keypad);
    const auto third = log.Append("", {});
    EXPECT_EQ(log.Name(first), "Чтение ЭБУ");
    EXPECT_EQ(log.Changes(first), whole);
    EXPECT_EQ(log.Name(second), "УОЗ 600/43: 14,0 → 15,0");
    EXPECT_EQ(log.Changes(second), keypad);
    EXPECT_EQ(log.Name(third), "");
    EXPECT_TRUE(log.Changes(third).empty());

    // Dropping a record in the middle keeps the others as they were; dropping the last gives
    // its room back, as a merge's replacement and an undone branch need.
    const std::size_t size = log.Size();
    log.Drop(second);
    EXPECT_EQ(log.Size(), size);
    EXPECT_EQ(log.Changes(third), ChangeSet{});
    log.Drop(third);
    EXPECT_EQ(log.Size(), third);
    const auto again = log.Append("УОЗ 600/43: 14,0 → 15,5", keypad);
    EXPECT_EQ(again, third);
    EXPECT_EQ(log.Name(again), "УОЗ 600/43: 14,0 → 15,5");
    EXPECT_EQ(log.Changes(first), whole);

    EXPECT_THROW(log.Append(std::string(70000, 'x'), keypad), std::length_error);
    EXPECT_THROW(log.Append("x", ChangeSet(0x10000, ByteChange{0, 1, 2})), std::length_error);
    const StepLog::Offset longest = log.Append(std::string(0xFFFF, 'x'), keypad);
    EXPECT_EQ(log.Name(longest).size(), 0xFFFFu);
    const StepLog::Offset largest = log.Append("x", ChangeSet(0xFFFF, ByteChange{0, 1, 2}));
    EXPECT_EQ(log.Changes(largest).size(), 0xFFFFu);
}
