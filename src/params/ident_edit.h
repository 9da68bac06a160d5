#pragma once

#include "image/firmware_image.h"

#include <array>
#include <cstdint>
#include <string>

// One editing of the 14 identification texts: what the identification window showed when it
// opened, and how the typed texts go back into the image when it closes.
class IdentEdit {
public:
    using Texts = std::array<std::string, FirmwareImage::IdentCount>;

    // Takes the members' current texts (code page 1251) and the raw bytes behind them.
    explicit IdentEdit(FirmwareImage& image);

    // The texts to show, in the order of Ident(i), code page 1251.
    const Texts& Shown() const { return shown_; }

    // Copies each text (code page 1251, at most N bytes kept, zero-padded) into its member and
    // lets EncodeIdent write all 14 raw fields in normalised form.
    //
    // A field the user left as it was shown keeps characters that have no counterpart in code
    // page 1251 (box-drawing characters and the like): the detour through 1251 would turn them
    // into '?', so merely opening and closing the window would destroy them. Such a field gets
    // its own raw text back, trimmed and zero-padded like every other field.
    void Store(FirmwareImage& image, const Texts& texts) const;

private:
    Texts shown_;
    // Raw text of each field in code page 866, normalised the way EncodeIdent writes a field
    // (trimmed, cut at the first zero); set only when it would not survive the detour via 1251.
    std::array<std::string, FirmwareImage::IdentCount> keepRaw_;
};
