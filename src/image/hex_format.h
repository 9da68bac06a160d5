#pragma once

#include "image/firmware_image.h"

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>

// Reads Intel HEX records from a stream into a buffer of FirmwareImage::Size bytes that the
// caller has zeroed. Data records are stored at their 16-bit offsets (upper address records are
// ignored); bytes past the end of the buffer are dropped. Reading stops at the first invalid
// line, at a line longer than 254 characters and at a record whose address lies above 0x8000;
// the result says where and why. Blank lines that only trail the file lose nothing and do not
// count as an early end. A file without any data byte is reported as "no data records" at
// the line after its last one, since it would otherwise pass for a complete all-zero image.
// LoadHex and the fuzz harness share this function.
HexLoadResult ReadHexRecords(std::istream& in, uint8_t* data);

// The HEX text of a buffer of FirmwareImage::Size bytes: the upper address record for 0x00C0,
// 2048 records of 16 bytes, the end record; upper-case digits, CR LF after every line.
std::string WriteHexText(const uint8_t* data);
