// Tiny GIF pictures drawn by the demo itself (board logos, banners): a GIF89a writer for
// paletted images, with an optional loop of frames.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessaly::demo {

struct TGifFrame {
    std::vector<uint8_t> pixels;  // width * height palette indexes, row by row
    int delayCs = 0;              // hundredths of a second before the next frame
};

// The palette holds 0xRRGGBB colours (at most 256); it is padded to a power of two.
// Pixels must index the palette. Several frames make an endlessly looping animation.
std::string EncodeGif(int width, int height, const std::vector<uint32_t>& palette,
                      const std::vector<TGifFrame>& frames);

// A banner-like picture: a coloured band with a lighter frame and a few block letters
// standing for `text` (only A-Z, 0-9 and blanks are drawn; others are left out).
std::string DrawBanner(int width, int height, uint32_t background, uint32_t ink,
                       const std::string& text, bool animated);

}  // namespace tessaly::demo
