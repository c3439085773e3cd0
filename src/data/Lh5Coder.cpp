// The -lh5- stream: LZ77 over an 8 KB window, matches of 3 to 256 bytes, and static Huffman
// codes sent per block (literal/length code, position classes, and a code for the
// literal/length code lengths). Bits go most significant first.
#include <algorithm>
#include <array>
#include <cstring>
#include <queue>

#include "data/Packer.h"

namespace tessaly {
namespace {

constexpr int kNC = 510;  // 256 literals + lengths 3..256
constexpr int kNT = 19;   // code-length code
constexpr int kNP = 14;   // position classes for a 13-bit window
constexpr int kCBit = 9;
constexpr int kTBit = 5;
constexpr int kPBit = 4;
constexpr int kMaxLen = 16;
constexpr int kWindow = 8192;
constexpr int kMaxMatch = 256;
constexpr int kMinMatch = 3;
constexpr std::size_t kBlockSymbols = 65535;  // the most a block header can count
constexpr std::size_t kMinBlockSymbols = 4096;

const char* const kBadTable = "Bad decode table in archive!";
const char* const kTruncated = "Packed data ends too early -- data may be invalid";

// ---- writing --------------------------------------------------------------------------

class TBitWriter {
  public:
    explicit TBitWriter(std::string* out) : out_(out) {}
    void Put(int bits, std::uint32_t value) {
        if (bits == 0) return;
        written_ += static_cast<std::uint64_t>(bits);
        if (!out_) return;  // only counting
        acc_ = (acc_ << bits) | (value & ((1u << bits) - 1));
        count_ += bits;
        while (count_ >= 8) {
            count_ -= 8;
            out_->push_back(static_cast<char>((acc_ >> count_) & 0xFF));
        }
        acc_ &= (1u << count_) - 1;
    }
    // The stream ends with up to seven zero bits completing the last byte.
    void Flush() {
        if (count_ > 0) Put(8 - count_, 0);
    }

    std::uint64_t Written() const { return written_; }

  private:
    std::string* out_;
    std::uint64_t written_ = 0;
    std::uint32_t acc_ = 0;
    int count_ = 0;
};

// Code lengths of at most 16 bits for the given frequencies. Fewer than two used symbols
// give all zeros: such a table is sent as its single symbol instead.
std::vector<std::uint8_t> MakeLengths(const std::vector<std::uint32_t>& freq) {
    const int n = static_cast<int>(freq.size());
    std::vector<std::uint8_t> lens(n, 0);
    std::vector<int> used;
    for (int i = 0; i < n; ++i)
        if (freq[i] > 0) used.push_back(i);
    if (used.size() < 2) return lens;

    // Plain Huffman tree; leaves are 0..n-1, inner nodes follow.
    std::vector<std::uint64_t> weight(freq.begin(), freq.end());
    std::vector<int> parent(n, -1);
    using TItem = std::pair<std::uint64_t, int>;
    std::priority_queue<TItem, std::vector<TItem>, std::greater<>> heap;
    for (int s : used)
        heap.push({freq[s], s});
    while (heap.size() > 1) {
        auto [wa, a] = heap.top();
        heap.pop();
        auto [wb, b] = heap.top();
        heap.pop();
        const int node = static_cast<int>(weight.size());
        weight.push_back(wa + wb);
        parent.push_back(-1);
        parent[a] = node;
        parent[b] = node;
        heap.push({wa + wb, node});
    }
    std::array<std::uint32_t, kMaxLen + 1> count{};
    for (int s : used) {
        int depth = 0;
        for (int p = s; parent[p] >= 0; p = parent[p])
            ++depth;
        ++count[std::min(depth, kMaxLen)];
    }
    // Deepening the clamped leaves may over-fill the code space; move leaves down until
    // the code is exactly complete again.
    std::uint64_t cum = 0;
    for (int i = 1; i <= kMaxLen; ++i)
        cum += std::uint64_t(count[i]) << (kMaxLen - i);
    while (cum > (1u << kMaxLen)) {
        --count[kMaxLen];
        for (int i = kMaxLen - 1; i > 0; --i) {
            if (count[i] != 0) {
                --count[i];
                count[i + 1] += 2;
                break;
            }
        }
        --cum;
    }
    // The most frequent symbols get the shortest codes.
    std::stable_sort(used.begin(), used.end(), [&](int a, int b) { return freq[a] > freq[b]; });
    std::size_t k = 0;
    for (int len = 1; len <= kMaxLen; ++len)
        for (std::uint32_t j = 0; j < count[len]; ++j)
            lens[used[k++]] = static_cast<std::uint8_t>(len);
    return lens;
}

// Canonical codes: shorter codes first, symbols in order within one length.
std::vector<std::uint16_t> MakeCodes(const std::vector<std::uint8_t>& lens) {
    std::array<std::uint32_t, kMaxLen + 2> count{}, start{};
    for (auto l : lens)
        ++count[l];
    count[0] = 0;
    for (int len = 1; len <= kMaxLen; ++len)
        start[len + 1] = (start[len] + count[len]) << 1;
    std::vector<std::uint16_t> codes(lens.size(), 0);
    for (std::size_t i = 0; i < lens.size(); ++i)
        if (lens[i]) codes[i] = static_cast<std::uint16_t>(start[lens[i]]++);
    return codes;
}

int UsedSingle(const std::vector<std::uint32_t>& freq, int& used) {
    used = 0;
    int last = 0;
    for (std::size_t i = 0; i < freq.size(); ++i)
        if (freq[i]) {
            ++used;
            last = static_cast<int>(i);
        }
    return last;
}

void WritePtLen(TBitWriter& w, const std::vector<std::uint8_t>& lens, int nbit, int special) {
    int n = static_cast<int>(lens.size());
    while (n > 0 && lens[n - 1] == 0)
        --n;
    w.Put(nbit, n);
    int i = 0;
    while (i < n) {
        const int k = lens[i++];
        if (k <= 6)
            w.Put(3, k);
        else
            w.Put(k - 3, (1u << (k - 3)) - 2);
        if (i == special) {
            while (i < 6 && lens[i] == 0)
                ++i;
            w.Put(2, (i - 3) & 3);
        }
    }
}

int TrimmedLength(const std::vector<std::uint8_t>& lens) {
    int n = static_cast<int>(lens.size());
    while (n > 0 && lens[n - 1] == 0)
        --n;
    return n;
}

// Walks the literal/length code lengths as they are sent: runs of zeros get the three
// run symbols, a length k the symbol k + 2.
template <typename F>
void ForEachCLenSymbol(const std::vector<std::uint8_t>& cLens, F emit) {
    const int n = TrimmedLength(cLens);
    int i = 0;
    while (i < n) {
        const int k = cLens[i++];
        if (k != 0) {
            emit(k + 2, -1, 0);
            continue;
        }
        int run = 1;
        while (i < n && cLens[i] == 0) {
            ++i;
            ++run;
        }
        if (run <= 2) {
            for (int j = 0; j < run; ++j)
                emit(0, -1, 0);
        } else if (run <= 18) {
            emit(1, 4, run - 3);
        } else if (run == 19) {
            emit(0, -1, 0);
            emit(1, 4, 15);
        } else {
            emit(2, kCBit, run - 20);
        }
    }
}

struct TBlock {
    std::vector<std::uint16_t> symbols;
    std::vector<std::uint16_t> positions;  // distance - 1, one per match symbol
};

void SendBlock(TBitWriter& w, const TBlock& block);

std::uint64_t BlockCost(const TBlock& block) {
    TBitWriter counter(nullptr);
    SendBlock(counter, block);
    return counter.Written();
}

// Sends the symbols as one block, or as two halves (each split further) when that is
// cheaper: the codes then follow data whose statistics drift.
void SendBestBlocks(TBitWriter& w, const TBlock& block) {
    if (block.symbols.size() >= 2 * kMinBlockSymbols) {
        const std::size_t half = block.symbols.size() / 2;
        TBlock first, second;
        std::size_t matches = 0;
        for (std::size_t i = 0; i < half; ++i)
            if (block.symbols[i] >= 256) ++matches;
        first.symbols.assign(block.symbols.begin(), block.symbols.begin() + half);
        first.positions.assign(block.positions.begin(), block.positions.begin() + matches);
        second.symbols.assign(block.symbols.begin() + half, block.symbols.end());
        second.positions.assign(block.positions.begin() + matches, block.positions.end());
        if (BlockCost(first) + BlockCost(second) < BlockCost(block)) {
            SendBestBlocks(w, first);
            SendBestBlocks(w, second);
            return;
        }
    }
    SendBlock(w, block);
}

void SendBlock(TBitWriter& w, const TBlock& block) {
    std::vector<std::uint32_t> cFreq(kNC, 0), pFreq(kNP, 0);
    auto pClass = [](unsigned p) {
        int c = 0;
        while (p) {
            p >>= 1;
            ++c;
        }
        return c;
    };
    for (auto s : block.symbols)
        ++cFreq[s];
    for (auto p : block.positions)
        ++pFreq[pClass(p)];

    w.Put(16, static_cast<std::uint32_t>(block.symbols.size()));
    int usedC = 0;
    const int singleC = UsedSingle(cFreq, usedC);
    const auto cLens = MakeLengths(cFreq);
    const auto cCodes = MakeCodes(cLens);
    if (usedC >= 2) {
        std::vector<std::uint32_t> tFreq(kNT, 0);
        ForEachCLenSymbol(cLens, [&](int t, int, int) { ++tFreq[t]; });
        int usedT = 0;
        const int singleT = UsedSingle(tFreq, usedT);
        const auto tLens = MakeLengths(tFreq);
        const auto tCodes = MakeCodes(tLens);
        if (usedT >= 2) {
            WritePtLen(w, tLens, kTBit, 3);
        } else {
            w.Put(kTBit, 0);
            w.Put(kTBit, singleT);
        }
        w.Put(kCBit, TrimmedLength(cLens));
        ForEachCLenSymbol(cLens, [&](int t, int extraBits, int extra) {
            w.Put(tLens[t], tCodes[t]);
            if (extraBits > 0) w.Put(extraBits, extra);
        });
    } else {
        w.Put(kTBit, 0);
        w.Put(kTBit, 0);
        w.Put(kCBit, 0);
        w.Put(kCBit, singleC);
    }
    int usedP = 0;
    const int singleP = UsedSingle(pFreq, usedP);
    const auto pLens = MakeLengths(pFreq);
    const auto pCodes = MakeCodes(pLens);
    if (usedP >= 2) {
        WritePtLen(w, pLens, kPBit, -1);
    } else {
        w.Put(kPBit, 0);
        w.Put(kPBit, singleP);
    }
    std::size_t m = 0;
    for (auto s : block.symbols) {
        w.Put(cLens[s], cCodes[s]);
        if (s >= 256) {
            const unsigned p = block.positions[m++];
            const int c = pClass(p);
            w.Put(pLens[c], pCodes[c]);
            if (c > 1) w.Put(c - 1, p & ((1u << (c - 1)) - 1));
        }
    }
}

// Hash chains over the last 8 KB.
class TMatchFinder {
  public:
    explicit TMatchFinder(std::string_view data)
        : data_(reinterpret_cast<const unsigned char*>(data.data())),
          size_(data.size()),
          head_(1u << kHashBits, -1),
          prev_(kWindow, -1) {}

    void Insert(std::size_t pos) {
        if (pos + kMinMatch > size_) return;
        const unsigned h = Hash(pos);
        prev_[pos & (kWindow - 1)] = head_[h];
        head_[h] = static_cast<std::int64_t>(pos);
    }

    // Longest match at `pos` with earlier data; length 0 when none of 3 or more.
    int Find(std::size_t pos, unsigned& distance) const {
        if (pos + kMinMatch > size_) return 0;
        const int limit = static_cast<int>(std::min<std::size_t>(kMaxMatch, size_ - pos));
        int best = 0;
        int chain = kChainLimit;
        for (std::int64_t cand = head_[Hash(pos)];
             cand >= 0 && pos - static_cast<std::size_t>(cand) < kWindow && chain-- > 0;
             cand = prev_[cand & (kWindow - 1)]) {
            const unsigned char* a = data_ + cand;
            const unsigned char* b = data_ + pos;
            if (a[best] != b[best]) continue;
            int len = 0;
            while (len < limit && a[len] == b[len])
                ++len;
            if (len > best) {
                best = len;
                distance = static_cast<unsigned>(pos - cand);
                if (len == limit) break;
            }
        }
        return best >= kMinMatch ? best : 0;
    }

  private:
    static constexpr int kHashBits = 15;
    static constexpr int kChainLimit = 256;
    unsigned Hash(std::size_t p) const {
        return ((unsigned(data_[p]) << 10) ^ (unsigned(data_[p + 1]) << 5) ^ data_[p + 2]) &
               ((1u << kHashBits) - 1);
    }
    const unsigned char* data_;
    std::size_t size_;
    std::vector<std::int64_t> head_;
    std::vector<std::int64_t> prev_;
};

// ---- reading --------------------------------------------------------------------------

class TBitReader {
  public:
    explicit TBitReader(std::string_view data)
        : data_(reinterpret_cast<const unsigned char*>(data.data())), size_(data.size()) {}

    std::uint32_t Peek(int bits) {
        if (count_ < bits) Fill();
        return bits ? static_cast<std::uint32_t>(buf_ >> (64 - bits)) : 0;
    }
    void Skip(int bits) {
        buf_ <<= bits;
        count_ -= bits;
    }
    std::uint32_t Get(int bits) {
        const std::uint32_t v = Peek(bits);
        Skip(bits);
        return v;
    }
    // True when more bits were taken than the data holds.
    bool Overrun() const { return pos_ * 8 - static_cast<std::uint64_t>(count_) > size_ * 8; }

  private:
    void Fill() {
        while (count_ <= 56) {
            const std::uint64_t b = pos_ < size_ ? data_[pos_] : 0;
            ++pos_;
            buf_ |= b << (56 - count_);
            count_ += 8;
        }
    }
    const unsigned char* data_;
    std::uint64_t size_;
    std::uint64_t pos_ = 0;
    std::uint64_t buf_ = 0;
    int count_ = 0;
};

// A decoding table indexed by the next `bits` bits; each entry holds symbol and length.
class THuffDecoder {
  public:
    void SetSingle(int symbol) {
        single_ = symbol;
        bits_ = 0;
    }
    void Build(const std::vector<std::uint8_t>& lens) {
        single_ = -1;
        bits_ = 0;
        for (auto l : lens)
            bits_ = std::max<int>(bits_, l);
        if (bits_ == 0) return;  // no symbol at all: any use of it is an error
        std::uint64_t space = 0;
        for (auto l : lens)
            if (l) space += 1u << (kMaxLen - l);
        if (space > (1u << kMaxLen)) throw EPackerError(kBadTable);
        table_.assign(std::size_t(1) << bits_, 0xFFFF);
        const auto codes = MakeCodes(lens);
        for (std::size_t s = 0; s < lens.size(); ++s) {
            if (!lens[s]) continue;
            const int shift = bits_ - lens[s];
            const std::size_t first = std::size_t(codes[s]) << shift;
            std::fill_n(table_.begin() + first, std::size_t(1) << shift,
                        static_cast<std::uint16_t>((s << 5) | lens[s]));
        }
    }
    int Decode(TBitReader& r) const {
        if (single_ >= 0) return single_;
        if (bits_ == 0) throw EPackerError(kBadTable);
        const std::uint16_t e = table_[r.Peek(bits_)];
        if (e == 0xFFFF) throw EPackerError(kBadTable);  // a code the table leaves unused
        r.Skip(e & 31);
        return e >> 5;
    }

  private:
    int single_ = -1;
    int bits_ = 0;
    std::vector<std::uint16_t> table_;
};

void ReadPtLen(TBitReader& r, int nn, int nbit, int special, std::vector<std::uint8_t>& lens,
               THuffDecoder& dec) {
    const int n = static_cast<int>(r.Get(nbit));
    lens.assign(nn, 0);
    if (n == 0) {
        const int c = static_cast<int>(r.Get(nbit));
        if (c >= nn) throw EPackerError(kBadTable);
        dec.SetSingle(c);
        return;
    }
    if (n > nn) throw EPackerError(kBadTable);
    int i = 0;
    while (i < n) {
        int c = static_cast<int>(r.Get(3));
        if (c == 7) {
            while (r.Get(1) == 1)
                if (++c > kMaxLen) throw EPackerError(kBadTable);
        }
        lens[i++] = static_cast<std::uint8_t>(c);
        if (i == special) {
            int zeros = static_cast<int>(r.Get(2));
            if (i + zeros > nn) throw EPackerError(kBadTable);
            while (zeros-- > 0)
                lens[i++] = 0;
        }
    }
    dec.Build(lens);
}

void ReadCLen(TBitReader& r, const THuffDecoder& tDec, std::vector<std::uint8_t>& lens,
              THuffDecoder& dec) {
    const int n = static_cast<int>(r.Get(kCBit));
    lens.assign(kNC, 0);
    if (n == 0) {
        const int c = static_cast<int>(r.Get(kCBit));
        if (c >= kNC) throw EPackerError(kBadTable);
        dec.SetSingle(c);
        return;
    }
    if (n > kNC) throw EPackerError(kBadTable);
    int i = 0;
    while (i < n) {
        const int c = tDec.Decode(r);
        if (c <= 2) {
            const int run = c == 0   ? 1
                            : c == 1 ? static_cast<int>(r.Get(4)) + 3
                                     : static_cast<int>(r.Get(kCBit)) + 20;
            if (i + run > kNC) throw EPackerError(kBadTable);
            i += run;  // already zero
        } else {
            lens[i++] = static_cast<std::uint8_t>(c - 2);
        }
    }
    dec.Build(lens);
}

}  // namespace

std::string Lh5Pack(std::string_view data) {
    std::string out;
    out.reserve(data.size() / 2 + 64);
    TBitWriter w(&out);
    TMatchFinder finder(data);
    TBlock block;
    const std::size_t n = data.size();
    std::size_t pos = 0;
    unsigned dist = 0;
    int len = finder.Find(pos, dist);
    while (pos < n) {
        finder.Insert(pos);
        // One step of lazy matching: a longer match one byte on wins over this one.
        unsigned nextDist = 0;
        int nextLen = 0;
        if (len > 0 && len < kMaxMatch && pos + 1 < n) nextLen = finder.Find(pos + 1, nextDist);
        if (len == 0 || nextLen > len) {
            block.symbols.push_back(static_cast<unsigned char>(data[pos]));
            ++pos;
            len = nextLen;
            dist = nextDist;
            if (len == 0 && pos < n) len = finder.Find(pos, dist);
        } else {
            block.symbols.push_back(static_cast<std::uint16_t>(len + 253));
            block.positions.push_back(static_cast<std::uint16_t>(dist - 1));
            for (std::size_t k = 1; k < static_cast<std::size_t>(len); ++k)
                finder.Insert(pos + k);
            pos += len;
            len = pos < n ? finder.Find(pos, dist) : 0;
        }
        if (block.symbols.size() >= kBlockSymbols) {
            SendBestBlocks(w, block);
            block.symbols.clear();
            block.positions.clear();
        }
    }
    if (!block.symbols.empty()) SendBestBlocks(w, block);
    w.Flush();
    return out;
}

void Lh5Unpack(std::string_view packed, std::uint64_t size, const TByteSink& sink) {
    TBitReader r(packed);
    THuffDecoder tDec, cDec, pDec;
    std::vector<std::uint8_t> lens;
    std::vector<unsigned char> ring(kWindow, ' ');
    std::size_t ringPos = 0;
    std::string chunk;
    chunk.reserve(kWindow);
    std::uint64_t produced = 0;
    auto emit = [&](unsigned char b) {
        ring[ringPos] = b;
        ringPos = (ringPos + 1) & (kWindow - 1);
        chunk.push_back(static_cast<char>(b));
        ++produced;
        if (chunk.size() == static_cast<std::size_t>(kWindow)) {
            sink(chunk.data(), chunk.size());
            chunk.clear();
        }
    };
    while (produced < size) {
        if (r.Overrun()) throw EPackerError(kTruncated);
        const std::uint32_t blockSize = r.Get(16);
        if (blockSize == 0) throw EPackerError(kBadTable);
        ReadPtLen(r, kNT, kTBit, 3, lens, tDec);
        ReadCLen(r, tDec, lens, cDec);
        ReadPtLen(r, kNP, kPBit, -1, lens, pDec);
        for (std::uint32_t k = 0; k < blockSize && produced < size; ++k) {
            const int c = cDec.Decode(r);
            if (c < 256) {
                emit(static_cast<unsigned char>(c));
                continue;
            }
            const int matchLen = c - 253;
            const int pc = pDec.Decode(r);
            const unsigned distance = pc == 0 ? 0 : (1u << (pc - 1)) + r.Get(pc - 1);
            std::size_t from = (ringPos + kWindow - distance - 1) & (kWindow - 1);
            for (int j = 0; j < matchLen && produced < size; ++j) {
                emit(ring[from]);
                from = (from + 1) & (kWindow - 1);
            }
        }
    }
    if (r.Overrun()) throw EPackerError(kTruncated);
    if (!chunk.empty()) sink(chunk.data(), chunk.size());
}

std::string Lh5UnpackToString(std::string_view packed, std::uint64_t size) {
    std::string out;
    Lh5Unpack(packed, size, [&](const char* d, std::size_t n) { out.append(d, n); });
    return out;
}

}  // namespace tessaly
