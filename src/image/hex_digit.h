#pragma once

// The value of one hexadecimal digit in either case, or -1 for any other character. HEX files
// and the unit's access codes are read with it.
constexpr int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}
