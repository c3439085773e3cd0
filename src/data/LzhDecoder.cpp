// Unpacking of the older adaptive-Huffman LZSS members: a 4096-byte ring, matches of 3 to
// 60 bytes, one adaptive code for literals and lengths, and positions sent as a fixed
// code for their upper six bits plus six plain bits.
#include <array>
#include <vector>

#include "data/Packer.h"

namespace tessaly {
namespace {

constexpr int kRing = 4096;
constexpr int kLookAhead = 60;
constexpr int kThreshold = 2;
constexpr int kChars = 256 - kThreshold + kLookAhead;  // 314
constexpr int kTable = kChars * 2 - 1;                 // 627
constexpr int kRoot = kTable - 1;
constexpr unsigned kMaxFreq = 0x8000;

class TBits {
  public:
    explicit TBits(std::string_view d) : d_(d) {}
    int Bit() {
        if (bit_ == 0) {
            // The last byte of a sound stream holds its last code: no read goes past it.
            if (pos_ >= d_.size())
                throw EPackerError("Packed data ends too early -- data may be invalid");
            cur_ = static_cast<unsigned char>(d_[pos_]);
            ++pos_;
            bit_ = 8;
        }
        --bit_;
        return (cur_ >> bit_) & 1;
    }
    unsigned Byte() {
        unsigned v = 0;
        for (int i = 0; i < 8; ++i)
            v = v << 1 | Bit();
        return v;
    }

  private:
    std::string_view d_;
    std::size_t pos_ = 0;
    int bit_ = 0;
    unsigned cur_ = 0;
};

class TAdaptiveTree {
  public:
    TAdaptiveTree() {
        for (int i = 0; i < kChars; ++i) {
            freq_[i] = 1;
            son_[i] = i + kTable;
            prnt_[i + kTable] = i;
        }
        for (int i = 0, j = kChars; j <= kRoot; i += 2, ++j) {
            freq_[j] = freq_[i] + freq_[i + 1];
            son_[j] = i;
            prnt_[i] = prnt_[i + 1] = j;
        }
        freq_[kTable] = 0xFFFF;
        prnt_[kRoot] = 0;
    }

    int Decode(TBits& bits) {
        int c = son_[kRoot];
        while (c < kTable)
            c = son_[c + bits.Bit()];
        c -= kTable;
        Update(c);
        return c;
    }

  private:
    void Update(int c) {
        if (freq_[kRoot] == kMaxFreq) Rebuild();
        c = prnt_[c + kTable];
        do {
            const unsigned k = ++freq_[c];
            int l = c + 1;
            if (k > freq_[l]) {
                while (k > freq_[++l]) {
                }
                --l;
                freq_[c] = freq_[l];
                freq_[l] = k;
                const int i = son_[c];
                prnt_[i] = l;
                if (i < kTable) prnt_[i + 1] = l;
                const int j = son_[l];
                son_[l] = i;
                prnt_[j] = c;
                if (j < kTable) prnt_[j + 1] = c;
                son_[c] = j;
                c = l;
            }
        } while ((c = prnt_[c]) != 0);
    }

    // Halves the frequencies and builds the tree again from its leaves.
    void Rebuild() {
        int j = 0;
        for (int i = 0; i < kTable; ++i) {
            if (son_[i] >= kTable) {
                freq_[j] = (freq_[i] + 1) / 2;
                son_[j] = son_[i];
                ++j;
            }
        }
        for (int i = 0, n = kChars; n < kTable; i += 2, ++n) {
            const unsigned f = freq_[i] + freq_[i + 1];
            int k = n - 1;
            while (f < freq_[k])
                --k;
            ++k;
            for (int m = n; m > k; --m) {
                freq_[m] = freq_[m - 1];
                son_[m] = son_[m - 1];
            }
            freq_[k] = f;
            son_[k] = i;
        }
        for (int i = 0; i < kTable; ++i) {
            const int k = son_[i];
            if (k >= kTable)
                prnt_[k] = i;
            else
                prnt_[k] = prnt_[k + 1] = i;
        }
    }

    std::array<unsigned, kTable + 1> freq_{};
    std::array<int, kTable + kChars> prnt_{};
    std::array<int, kTable> son_{};
};

// The fixed code of a position's upper six bits: lengths 3 to 8 bits for 1, 3, 8, 12, 24
// and 16 values. Indexed by the next eight bits, giving value and code length.
struct TPositionCode {
    std::array<std::uint8_t, 256> value{}, length{};
    TPositionCode() {
        const int counts[6] = {1, 3, 8, 12, 24, 16};
        int entry = 0, v = 0;
        for (int len = 3; len <= 8; ++len) {
            for (int c = 0; c < counts[len - 3]; ++c, ++v) {
                for (int e = 0; e < (1 << (8 - len)); ++e, ++entry) {
                    value[entry] = static_cast<std::uint8_t>(v);
                    length[entry] = static_cast<std::uint8_t>(len);
                }
            }
        }
    }
};

}  // namespace

void LzhUnpack(std::string_view packed, std::uint64_t size, const TByteSink& sink) {
    static const TPositionCode kPositions;
    TBits bits(packed);
    TAdaptiveTree tree;
    std::vector<unsigned char> ring(kRing, ' ');
    int r = kRing - kLookAhead;
    std::string chunk;
    std::uint64_t produced = 0;
    auto emit = [&](unsigned char b) {
        ring[r] = b;
        r = (r + 1) & (kRing - 1);
        chunk.push_back(static_cast<char>(b));
        ++produced;
        if (chunk.size() == 8192) {
            sink(chunk.data(), chunk.size());
            chunk.clear();
        }
    };
    while (produced < size) {
        const int c = tree.Decode(bits);
        if (c < 256) {
            emit(static_cast<unsigned char>(c));
            continue;
        }
        unsigned i = bits.Byte();
        const unsigned upper = kPositions.value[i];
        for (int j = kPositions.length[i] - 2; j > 0; --j)
            i = (i << 1) | bits.Bit();
        const unsigned position = upper << 6 | (i & 0x3F);
        int from = (r - static_cast<int>(position) - 1) & (kRing - 1);
        for (int k = 0, n = c - 255 + kThreshold; k < n && produced < size; ++k) {
            emit(ring[from]);
            from = (from + 1) & (kRing - 1);
        }
    }
    if (!chunk.empty()) sink(chunk.data(), chunk.size());
}

}  // namespace tessaly
