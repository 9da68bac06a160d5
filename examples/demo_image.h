#pragma once

class FirmwareImage;

// Fills an image with the demo calibration: smooth ignition and fuel maps over a speed axis of
// 600..6375 rpm and a rising load axis, correction maps of both map sets, the RCOD table, the
// maximum-air and throttle curves, Cyrillic identification texts, the constants and vectors of
// the demo parameter database, and a correct checksum. The content is invented.
void BuildDemoImage(FirmwareImage& image);
