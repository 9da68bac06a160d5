#include "image/edit_steps.h"
#include "image/firmware_image.h"

#include "../common/change_recorder.h"

#include <gtest/gtest.h>

TEST(EditSteps, CombiningKeepsFirstBeforeLastAfterAndDropsWhatReturned) {
    const ChangeSet first = {{0x10, 1, 2}, {0x20, 5, 6}};
    const ChangeSet second = {{0x08, 9, 8}, {0x10, 2, 3}, {0x20, 6, 5}};
    EXPECT_EQ(CombineChangeSets(first, second), (ChangeSet{{0x08, 9, 8}, {0x10, 1, 3}}));
}

TEST(EditSteps, UndoAndRedoWriteExactBytesAsOneChangeSet) {
    FirmwareImage image;
    ChangeCollector step(image);
    image.WriteWord(0x100, 0x1234);
    image.WriteByte(0x7FFF, 0xAB);
    const ChangeSet changes = step.Changes();
    ASSERT_EQ(changes.size(), 3u);

    ChangeRecorder heard(image);
    WriteBeforeBytes(image, changes);
    EXPECT_EQ(image.ReadWord(0x100), 0);
    EXPECT_EQ(image.ReadByte(0x7FFF), 0);
    EXPECT_TRUE(HoldsBeforeBytes(image, changes));
    WriteAfterBytes(image, changes);
    EXPECT_EQ(image.ReadWord(0x100), 0x1234);
    EXPECT_EQ(image.ReadByte(0x7FFF), 0xAB);
    EXPECT_FALSE(HoldsBeforeBytes(image, changes));
    EXPECT_EQ(heard.sets.size(), 2u);
    EXPECT_EQ(CountChangedBytes(image), 3u);
}

TEST(EditSteps, KeypadPressesMergeOnOneCellWithinASecond) {
    const KeypadStep first{0, 0x200, 10'000};
    EXPECT_TRUE(KeypadStepsMerge(first, {0, 0x200, 10'999}));
    EXPECT_FALSE(KeypadStepsMerge(first, {0, 0x200, 11'000}));
    EXPECT_FALSE(KeypadStepsMerge(first, {0, 0x201, 10'100}));
    EXPECT_FALSE(KeypadStepsMerge(first, {1, 0x200, 10'100}));
}
