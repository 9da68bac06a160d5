#pragma once

#include "image/firmware_image.h"

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

// Reads Intel HEX records from a stream into a buffer of FirmwareImage::Size bytes that the
// caller has zeroed. Each data record's full address comes from the last upper address record
// (type 04: upper 16 bits, type 02: segment * 16) plus its 16-bit offset. Bytes at
// 0x000000..0x007FFF and at the unit's own addresses 0xC00000..0xC07FFF are the image; any
// other byte is not stored and is reported in `outside`. Reading stops at the first invalid
// line, at a line longer than 254 characters and at a record whose offset lies above 0x8000;
// the result says where and why. Blank lines that only trail the file lose nothing and do not
// count as an early end. The result lists the image addresses no record gave and whether an
// end-of-file record came. LoadHex and the fuzz harness share this function.
HexLoadResult ReadHexRecords(std::istream& in, uint8_t* data);

// True when not one byte of the image came from the file.
bool GaveNoImageData(const HexLoadResult& result);

// The ranges as "0x0100..0x01FF, 0x0300", the first `limit` of them only; the caller says how
// many are left over in its own words.
std::string FormatAddressRanges(const std::vector<AddressRange>& ranges, std::size_t limit);

// Short English lines that say why a HEX load did not give a whole image, one per kind of
// fault, with at most `limit` ranges each; empty when the load was complete.
std::vector<std::string> HexLoadProblems(const HexLoadResult& result, std::size_t limit);

// The HEX text of a buffer of FirmwareImage::Size bytes: the upper address record for 0x00C0,
// 2048 records of 16 bytes, the end record; upper-case digits, CR LF after every line.
std::string WriteHexText(const uint8_t* data);
