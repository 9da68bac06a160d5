#pragma once

#include <string>

class FirmwareImage;

// Every decoded member of a decoded image as one JSON object, keyed by member name: the
// vectors, the 2-D tables as arrays of rows, FullLoad as an array of {Pos, Uoz, Tau, Lambda},
// "ident", the 14 identification texts in UTF-8, and "equipment", the 48 equipment bits as
// booleans in item order. This is what `velmaris-cli decode` prints.
std::string DecodedImageJson(const FirmwareImage& image);
