#include "demo/Gif.h"

#include <algorithm>
#include <stdexcept>

namespace tessaly::demo {

namespace {

void Put16(std::string& out, int v) {
    out += static_cast<char>(v & 0xff);
    out += static_cast<char>((v >> 8) & 0xff);
}

// LZW without a dictionary: every pixel is sent as its literal code, and a clear code
// comes often enough that the code width never grows. Every decoder reads this, and the
// pictures are small enough that the size does not matter.
std::string LzwLiterals(const std::vector<uint8_t>& pixels, int minCodeSize) {
    const int clear = 1 << minCodeSize;
    const int end = clear + 1;
    const int width = minCodeSize + 1;
    const size_t chunk = static_cast<size_t>(clear - 2);
    std::string data;
    uint32_t bits = 0;
    int count = 0;
    auto emit = [&](int code) {
        bits |= static_cast<uint32_t>(code) << count;
        count += width;
        while (count >= 8) {
            data += static_cast<char>(bits & 0xff);
            bits >>= 8;
            count -= 8;
        }
    };
    for (size_t i = 0; i < pixels.size(); ++i) {
        if (i % chunk == 0) emit(clear);
        emit(pixels[i]);
    }
    emit(end);
    if (count > 0) data += static_cast<char>(bits & 0xff);
    std::string out;
    out += static_cast<char>(minCodeSize);
    for (size_t i = 0; i < data.size(); i += 255) {
        const size_t n = std::min<size_t>(255, data.size() - i);
        out += static_cast<char>(n);
        out.append(data, i, n);
    }
    out += '\0';
    return out;
}

// 5x7 block letters, one string of 35 cells per character.
const char* Glyph(char c) {
    switch (c) {
        case 'A':
            return " ### #   ##   #######   ##   ##   #";
        case 'B':
            return "#### #   ##   ##### #   ##   ##### ";
        case 'C':
            return " ### #   ##    #    #    #   # ### ";
        case 'D':
            return "#### #   ##   ##   ##   ##   ##### ";
        case 'E':
            return "######    #    #### #    #    #####";
        case 'F':
            return "######    #    #### #    #    #    ";
        case 'G':
            return " ### #   ##    # ####   ##   # ####";
        case 'H':
            return "#   ##   ##   #######   ##   ##   #";
        case 'I':
            return " ###   #    #    #    #    #   ### ";
        case 'J':
            return "  ###   #    #    #    ##   # ###  ";
        case 'K':
            return "#   ##  # # #  ##   # #  #  # #   #";
        case 'L':
            return "#    #    #    #    #    #    #####";
        case 'M':
            return "#   ### ### # ##   ##   ##   ##   #";
        case 'N':
            return "#   ###  ## # ##  ###   ##   ##   #";
        case 'O':
            return " ### #   ##   ##   ##   ##   # ### ";
        case 'P':
            return "#### #   ##   ##### #    #    #    ";
        case 'Q':
            return " ### #   ##   ##   ## # ##  #  ## #";
        case 'R':
            return "#### #   ##   ##### # #  #  # #   #";
        case 'S':
            return " #####    #     ###     #    ##### ";
        case 'T':
            return "#####  #    #    #    #    #    #  ";
        case 'U':
            return "#   ##   ##   ##   ##   ##   # ### ";
        case 'V':
            return "#   ##   ##   ##   ##   # # #   #  ";
        case 'W':
            return "#   ##   ##   ##   ## # ### ###   #";
        case 'X':
            return "#   ##   # # #   #   # # #   ##   #";
        case 'Y':
            return "#   ##   # # #   #    #    #    #  ";
        case 'Z':
            return "#####    #   #   #   #   #    #####";
        case '0':
            return " ### #   ##  ### # ###  ##   # ### ";
        case '1':
            return "  #   ##    #    #    #    #   ### ";
        case '2':
            return " ### #   #    #   #   #   #   #####";
        case '3':
            return "#####   #   #   ###     ##   # ### ";
        case '4':
            return "   #   ##  # # #  # #####   #    # ";
        case '5':
            return "######    ####     #    ##   # ### ";
        case '6':
            return "  ##  #   #    #### #   ##   # ### ";
        case '7':
            return "#####    #   #   #   #    #    #   ";
        case '8':
            return " ### #   ##   # ### #   ##   # ### ";
        case '9':
            return " ### #   ##   # ####    #   #  ##  ";
        default:
            return nullptr;
    }
}

}  // namespace

std::string EncodeGif(int width, int height, const std::vector<uint32_t>& palette,
                      const std::vector<TGifFrame>& frames) {
    if (width <= 0 || height <= 0 || width > 65535 || height > 65535)
        throw std::invalid_argument("GIF size out of range");
    if (palette.empty() || palette.size() > 256 || frames.empty())
        throw std::invalid_argument("GIF needs a palette of 1 to 256 colours and a frame");
    int bitsPerPixel = 1;
    while ((1u << bitsPerPixel) < palette.size())
        ++bitsPerPixel;
    const int minCodeSize = std::max(2, bitsPerPixel);
    std::string out = "GIF89a";
    Put16(out, width);
    Put16(out, height);
    out += static_cast<char>(0x80 | ((bitsPerPixel - 1) << 4) | (bitsPerPixel - 1));
    out += '\0';  // background colour
    out += '\0';  // aspect ratio
    for (int i = 0; i < (1 << bitsPerPixel); ++i) {
        const uint32_t c =
            i < static_cast<int>(palette.size()) ? palette[static_cast<size_t>(i)] : 0;
        out += static_cast<char>((c >> 16) & 0xff);
        out += static_cast<char>((c >> 8) & 0xff);
        out += static_cast<char>(c & 0xff);
    }
    if (frames.size() > 1) {
        out += "\x21\xff\x0bNETSCAPE2.0";
        out += "\x03\x01";
        Put16(out, 0);  // loop for ever
        out += '\0';
    }
    const size_t area = static_cast<size_t>(width) * static_cast<size_t>(height);
    for (const TGifFrame& f : frames) {
        if (f.pixels.size() != area) throw std::invalid_argument("GIF frame of the wrong size");
        for (uint8_t p : f.pixels)
            if (p >= palette.size()) throw std::invalid_argument("GIF pixel outside the palette");
        if (frames.size() > 1 || f.delayCs > 0) {
            out += "\x21\xf9\x04";
            out += '\0';
            Put16(out, f.delayCs);
            out += '\0';
            out += '\0';
        }
        out += '\x2c';
        Put16(out, 0);
        Put16(out, 0);
        Put16(out, width);
        Put16(out, height);
        out += '\0';
        out += LzwLiterals(f.pixels, minCodeSize);
    }
    out += '\x3b';
    return out;
}

namespace {

// Width of a line of block letters in letter cells: 6 per letter (5 and a gap), 4 per blank.
int LineUnits(const std::string& line) {
    int units = 0;
    for (char c : line) {
        const char u = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
        if (u == ' ')
            units += 4;
        else if (Glyph(u))
            units += 6;
    }
    return std::max(1, units - 1);
}

// The text on one line, or on two split at a blank when the letters come out larger so:
// a small button keeps its words whole instead of running off its edge.
std::vector<std::string> BannerLines(const std::string& text, int width, int height, int& scale) {
    auto fit = [&](const std::vector<std::string>& lines) {
        int widest = 0;
        for (const std::string& l : lines)
            widest = std::max(widest, LineUnits(l));
        const int byHeight = (height - 4) / (9 * static_cast<int>(lines.size()));
        return std::max(1, std::min(byHeight, (width - 8) / widest));
    };
    std::vector<std::string> best = {text};
    scale = fit(best);
    for (size_t at = text.find(' '); at != std::string::npos; at = text.find(' ', at + 1)) {
        std::vector<std::string> two = {text.substr(0, at), text.substr(at + 1)};
        const int s = fit(two);
        if (s > scale) {
            scale = s;
            best = std::move(two);
        }
    }
    return best;
}

}  // namespace

std::string DrawBanner(int width, int height, uint32_t background, uint32_t ink,
                       const std::string& text, bool animated) {
    const std::vector<uint32_t> palette = {background, ink, 0xFFFFFF, 0x808080};
    int scale = 1;
    const std::vector<std::string> lines = BannerLines(text, width, height, scale);
    const int lineHeight = 9 * scale;
    auto frame = [&](int shift) {
        TGifFrame f;
        f.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
        auto set = [&](int x, int y, uint8_t c) {
            if (x >= 0 && y >= 0 && x < width && y < height)
                f.pixels[static_cast<size_t>(y) * static_cast<size_t>(width) +
                         static_cast<size_t>(x)] = c;
        };
        for (int x = 0; x < width; ++x) {
            set(x, 0, 2);
            set(x, height - 1, 3);
        }
        for (int y = 0; y < height; ++y) {
            set(0, y, 2);
            set(width - 1, y, 3);
        }
        const int blockHeight = static_cast<int>(lines.size()) * lineHeight - 2 * scale;
        int y0 = (height - blockHeight) / 2;
        for (const std::string& line : lines) {
            int x0 = std::max(4, (width - LineUnits(line) * scale) / 2) + shift;
            for (char c : line) {
                const char u = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
                if (u == ' ') {
                    x0 += 4 * scale;
                    continue;
                }
                const char* g = Glyph(u);
                if (!g) continue;
                for (int gy = 0; gy < 7; ++gy)
                    for (int gx = 0; gx < 5; ++gx)
                        if (g[gy * 5 + gx] == '#')
                            for (int sy = 0; sy < scale; ++sy)
                                for (int sx = 0; sx < scale; ++sx)
                                    set(x0 + gx * scale + sx, y0 + gy * scale + sy, 1);
                x0 += 6 * scale;
            }
            y0 += lineHeight;
        }
        f.delayCs = animated ? 50 : 0;
        return f;
    };
    std::vector<TGifFrame> frames = {frame(0)};
    if (animated) frames.push_back(frame(2));
    return EncodeGif(width, height, palette, frames);
}

}  // namespace tessaly::demo
