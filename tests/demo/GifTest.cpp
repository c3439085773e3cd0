// The GIF writer, read back by a small decoder of our own so that the pixels, not just
// the header, are checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>

#include "demo/Gif.h"

namespace tessaly::demo {
namespace {

struct TDecoded {
    int width = 0, height = 0, frames = 0;
    std::vector<uint32_t> palette;
    std::vector<uint8_t> firstFrame;
};

// A straightforward LZW reader (full dictionary, growing code width), independent of
// the writer's shortcut.
std::vector<uint8_t> Lzw(const std::string& data, int minCode) {
    std::vector<uint8_t> out;
    const int clear = 1 << minCode, end = clear + 1;
    std::vector<std::vector<uint8_t>> table;
    int width = minCode + 1;
    auto reset = [&] {
        table.assign(static_cast<size_t>(clear + 2), {});
        for (int i = 0; i < clear; ++i)
            table[static_cast<size_t>(i)] = {static_cast<uint8_t>(i)};
        width = minCode + 1;
    };
    reset();
    size_t bit = 0;
    int prev = -1;
    for (;;) {
        if (bit + static_cast<size_t>(width) > data.size() * 8)
            throw std::runtime_error("short data");
        int code = 0;
        for (int i = 0; i < width; ++i, ++bit)
            if (static_cast<uint8_t>(data[bit / 8]) & (1 << (bit % 8))) code |= 1 << i;
        if (code == clear) {
            reset();
            prev = -1;
            continue;
        }
        if (code == end) return out;
        std::vector<uint8_t> entry;
        if (code < static_cast<int>(table.size()) && !table[static_cast<size_t>(code)].empty()) {
            entry = table[static_cast<size_t>(code)];
        } else if (prev >= 0 && code == static_cast<int>(table.size())) {
            entry = table[static_cast<size_t>(prev)];
            entry.push_back(entry[0]);
        } else {
            throw std::runtime_error("bad code");
        }
        out.insert(out.end(), entry.begin(), entry.end());
        if (prev >= 0 && table.size() < 4096) {
            auto added = table[static_cast<size_t>(prev)];
            added.push_back(entry[0]);
            table.push_back(added);
            if (static_cast<int>(table.size()) == (1 << width) && width < 12) ++width;
        }
        prev = code;
    }
}

TDecoded Decode(const std::string& g) {
    TDecoded d;
    auto u16 = [&](size_t at) {
        return static_cast<uint8_t>(g.at(at)) | (static_cast<uint8_t>(g.at(at + 1)) << 8);
    };
    if (g.substr(0, 6) != "GIF89a") throw std::runtime_error("signature");
    d.width = u16(6);
    d.height = u16(8);
    const auto flags = static_cast<uint8_t>(g.at(10));
    const int colours = 2 << (flags & 7);
    size_t at = 13;
    for (int i = 0; i < colours; ++i, at += 3)
        d.palette.push_back((static_cast<uint32_t>(static_cast<uint8_t>(g.at(at))) << 16) |
                            (static_cast<uint32_t>(static_cast<uint8_t>(g.at(at + 1))) << 8) |
                            static_cast<uint8_t>(g.at(at + 2)));
    for (;;) {
        const auto tag = static_cast<uint8_t>(g.at(at++));
        if (tag == 0x3b) return d;
        if (tag == 0x21) {
            ++at;
            while (const auto n = static_cast<uint8_t>(g.at(at++)))
                at += n;
            continue;
        }
        if (tag != 0x2c) throw std::runtime_error("block");
        at += 9;
        const int minCode = static_cast<uint8_t>(g.at(at++));
        std::string data;
        while (const auto n = static_cast<uint8_t>(g.at(at++))) {
            data += g.substr(at, n);
            at += n;
        }
        auto pixels = Lzw(data, minCode);
        if (d.frames++ == 0) d.firstFrame = pixels;
    }
}

TEST(Gif, PixelsSurviveAcrossManyClearCodes) {
    for (size_t colours : {2u, 4u, 5u, 16u, 256u}) {
        std::vector<uint32_t> palette;
        for (size_t i = 0; i < colours; ++i)
            palette.push_back(static_cast<uint32_t>(i * 0x010203) & 0xFFFFFF);
        TGifFrame f;
        for (int i = 0; i < 37 * 23; ++i)
            f.pixels.push_back(static_cast<uint8_t>((i * 7 + i / 37) % colours));
        const TDecoded d = Decode(EncodeGif(37, 23, palette, {f}));
        EXPECT_EQ(d.width, 37);
        EXPECT_EQ(d.height, 23);
        EXPECT_EQ(d.firstFrame, f.pixels) << colours << " colours";
        EXPECT_EQ(d.palette[colours - 1], palette.back());
    }
}

TEST(Gif, AnimatedBannerHasTwoFramesWithText) {
    const TDecoded d = Decode(DrawBanner(120, 30, 0x000080, 0xFFFF00, "JOBS 98", true));
    EXPECT_EQ(d.frames, 2);
    ASSERT_EQ(d.firstFrame.size(), 120u * 30u);
    int ink = 0;
    for (uint8_t p : d.firstFrame)
        ink += p == 1;
    EXPECT_GT(ink, 50);
}

TEST(Gif, BannerTextStaysInsideTheButton) {
    // Too long for one line of a 120 by 60 button: two lines, nothing cut at the edge.
    const TDecoded d = Decode(DrawBanner(120, 60, 0x004400, 0xFFFF99, "NIGHT SCHOOL", false));
    ASSERT_EQ(d.firstFrame.size(), 120u * 60u);
    int left = 120, right = -1, top = 60, bottom = -1;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 120; ++x)
            if (d.firstFrame[static_cast<size_t>(y * 120 + x)] == 1) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    EXPECT_GE(left, 4);
    EXPECT_LE(right, 115);
    EXPECT_GT(bottom - top, 30);                      // two lines of letters
    EXPECT_LT(std::abs((left + right) / 2 - 60), 4);  // centred
}

TEST(Gif, BadInputIsRefused) {
    TGifFrame f;
    f.pixels = {0, 1, 2, 3};
    EXPECT_THROW(EncodeGif(2, 2, {0, 0xffffff}, {f}), std::invalid_argument);  // index 2, 3
    EXPECT_THROW(EncodeGif(3, 2, {0, 1, 2, 3}, {f}), std::invalid_argument);   // size
    EXPECT_THROW(EncodeGif(0, 2, {0}, {f}), std::invalid_argument);
    EXPECT_THROW(EncodeGif(2, 2, {}, {f}), std::invalid_argument);
}

}  // namespace
}  // namespace tessaly::demo
