#include "image/firmware_image.h"
#include "params/equipment.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

constexpr uint16_t First = 0x656A;

void PutBytes(FirmwareImage& image, std::initializer_list<uint8_t> bytes) {
    uint16_t a = First;
    for (uint8_t b : bytes)
        image.WriteByte(a++, b);
}

TEST(Equipment, ReadsBitsInItemOrderLeastSignificantFirst) {
    FirmwareImage image;
    PutBytes(image, {0x01, 0x00, 0x00, 0x00, 0x00, 0x80});
    const EquipmentBits bits = ReadEquipment(image);
    for (int k = 0; k < EquipmentCount; ++k)
        EXPECT_EQ(bits[k], k == 0 || k == 47) << "item " << k;

    PutBytes(image, {0x00, 0x00, 0x00, 0x40, 0x10, 0x01});
    const EquipmentBits other = ReadEquipment(image);
    for (int k = 0; k < EquipmentCount; ++k)
        EXPECT_EQ(other[k], k == 30 || k == 36 || k == 40) << "item " << k;
}

TEST(Equipment, WritingChangesExactlyTheBitOfTheItem) {
    FirmwareImage image;
    // Bytes around the six must survive as well: fill the neighbours with a pattern.
    image.WriteByte(First - 1, 0xA5);
    image.WriteByte(First + 6, 0x5A);
    PutBytes(image, {0x3C, 0xC3, 0x00, 0xFF, 0x96, 0x69});
    uint8_t before[8];
    std::memcpy(before, image.Bytes() + First - 1, sizeof before);

    // Unchanged bits write back the same bytes.
    WriteEquipment(image, ReadEquipment(image));
    EXPECT_EQ(std::memcmp(before, image.Bytes() + First - 1, sizeof before), 0);

    for (int k = 0; k < EquipmentCount; ++k) {
        EquipmentBits bits = ReadEquipment(image);
        bits[k] = !bits[k];
        WriteEquipment(image, bits);
        uint8_t expected[8];
        std::memcpy(expected, before, sizeof expected);
        expected[1 + k / 8] ^= static_cast<uint8_t>(1u << (k % 8));
        EXPECT_EQ(std::memcmp(expected, image.Bytes() + First - 1, sizeof expected), 0)
            << "item " << k;
        // Put it back for the next item.
        bits[k] = !bits[k];
        WriteEquipment(image, bits);
    }
}

TEST(Equipment, ChangeableItemsAndDesignations) {
    for (int k = 0; k < EquipmentCount; ++k)
        EXPECT_EQ(IsEquipmentChangeable(k), k == 1 || k == 6 || k == 36 || k == 40) << k;
    // The four changeable captions must sit at their bits.
    EXPECT_STREQ(EquipmentCaption(1), "Датчик кислорода");
    EXPECT_STREQ(EquipmentCaption(6), "Датчик скорости");
    EXPECT_STREQ(EquipmentCaption(36), "Адсорбер");
    EXPECT_STREQ(EquipmentCaption(40), "Вентилятор");
    EXPECT_EQ(EquipmentDesignation(0), "TYPE.0");
    EXPECT_EQ(EquipmentDesignation(7), "TYPE.7");
    EXPECT_EQ(EquipmentDesignation(8), "TYPE1.0");
    EXPECT_EQ(EquipmentDesignation(30), "TYPE3.6");
    EXPECT_EQ(EquipmentDesignation(47), "TYPE5.7");
    EXPECT_THROW(EquipmentCaption(48), std::out_of_range);
    EXPECT_THROW(EquipmentDesignation(-1), std::out_of_range);
}

} // namespace
