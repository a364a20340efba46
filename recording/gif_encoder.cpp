#include "recording/gif_encoder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace zintrel {
namespace {

constexpr int kMinCodeSize = 2;               // GIF's least, enough for two colours.
constexpr int kClearCode = 1 << kMinCodeSize;  // 4
constexpr int kEndCode = kClearCode + 1;       // 5
constexpr int kLastCode = 4095;                // Codes are at most 12 bits.

void PutWord(std::string& out, int value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}

void PutColor(std::string& out, std::uint32_t rgb) {
  out += static_cast<char>((rgb >> 16) & 0xFF);
  out += static_cast<char>((rgb >> 8) & 0xFF);
  out += static_cast<char>(rgb & 0xFF);
}

}  // namespace

// The LZW tables, kept from frame to frame.
struct LzwTables {
  // next[code * 2 + index]: the code of the string code + index, or 0 while
  // it has none (no string's code is 0 but the root's, which is never next).
  std::vector<std::uint16_t> next;
  // nextTwo[code * 4 + first * 2 + second]: the code of the string code +
  // first + second, or 0. A string's prefixes are all in the table, so the
  // parse may take two pixels in one step whenever this has them.
  std::vector<std::uint16_t> nextTwo;
  // The string each code extends, and by which index, for nextTwo.
  std::vector<std::uint16_t> parent;
  std::vector<std::uint8_t> last;
  // background[n]: the code of n background pixels, for n up to the longest.
  std::vector<std::uint16_t> background;
};

namespace {

// Packs codes, least significant bit first, into sub-blocks of at most 255
// bytes, each after its length, ended by an empty one.
class CodeWriter {
 public:
  explicit CodeWriter(std::string& out) : out_(out) {}

  void Put(int code, int size) {
    bits_ |= static_cast<std::uint64_t>(code) << count_;
    count_ += size;
    while (count_ >= 8) {
      Byte(static_cast<char>(bits_ & 0xFF));
      bits_ >>= 8;
      count_ -= 8;
    }
  }

  void Finish() {
    if (count_ > 0) Byte(static_cast<char>(bits_ & 0xFF));
    Flush();
    out_ += '\0';
  }

 private:
  void Byte(char byte) {
    block_[blockSize_++] = byte;
    if (blockSize_ == 255) Flush();
  }
  void Flush() {
    if (blockSize_ == 0) return;
    out_ += static_cast<char>(blockSize_);
    out_.append(block_.data(), static_cast<std::size_t>(blockSize_));
    blockSize_ = 0;
  }

  std::string& out_;
  std::uint64_t bits_ = 0;
  int count_ = 0;
  std::array<char, 255> block_{};
  int blockSize_ = 0;
};

// The LZW data of the frame's pixels, as a GIF decoder reads them: after
// each code but the first since a clear, the decoder adds a string to its
// table and widens its codes once the next one needs another bit. The
// encoder adds its string one code earlier, and so widens at the same code.
//
// Most of a frame is background, and the table's strings of background
// alone are those of every length from 1 up to the longest yet: the parse
// takes a run of background in one step where a pixel-by-pixel parse would
// walk the table once per pixel, to the same codes.
void PutPixels(const std::vector<std::uint8_t>& indices, LzwTables& tables, std::string& out) {
  out += static_cast<char>(kMinCodeSize);
  CodeWriter writer(out);
  const std::size_t count = indices.size();
  std::vector<std::uint16_t>& next = tables.next;
  next.assign(static_cast<std::size_t>(kLastCode + 1) * 2, 0);
  std::vector<std::uint16_t>& nextTwo = tables.nextTwo;
  nextTwo.assign(static_cast<std::size_t>(kLastCode + 1) * 4, 0);
  std::vector<std::uint16_t>& parent = tables.parent;
  parent.assign(kLastCode + 1, 0);
  std::vector<std::uint8_t>& last = tables.last;
  last.assign(kLastCode + 1, 0);
  std::vector<std::uint16_t>& background = tables.background;
  background.assign(kLastCode + 2, 0);
  int longest = 1;
  int codeSize = kMinCodeSize + 1;
  int lastCode = kEndCode;
  bool firstSinceClear = true;
  const auto clear = [&] {
    std::fill(next.begin(), next.end(), 0);
    std::fill(nextTwo.begin(), nextTwo.end(), 0);
    codeSize = kMinCodeSize + 1;
    lastCode = kEndCode;
    longest = 1;
    firstSinceClear = true;
  };
  writer.Put(kClearCode, codeSize);
  int current = indices[0];
  int run = current == 0 ? 1 : 0;  // current is the string of run background pixels.
  std::size_t nextPen = 0;          // The first pen pixel at or after i, or count.
  for (std::size_t i = 1; i < count;) {
    const int index = indices[i];
    if (run > 0 && index == 0 && run < longest) {
      if (nextPen < i) {
        const void* found = std::memchr(indices.data() + i, 1, count - i);
        nextPen = found ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - indices.data()) : count;
      }
      const std::size_t step = std::min<std::size_t>(nextPen - i, static_cast<std::size_t>(longest - run));
      run += static_cast<int>(step);
      i += step;
      current = background[static_cast<std::size_t>(run)];
      continue;
    }
    if (i + 1 < count) {
      const std::uint16_t two =
          nextTwo[static_cast<std::size_t>(current) * 4 + static_cast<std::size_t>(index * 2 + indices[i + 1])];
      if (two != 0) {
        current = two;
        run = 0;
        i += 2;
        continue;
      }
    }
    std::uint16_t& child = next[static_cast<std::size_t>(current) * 2 + static_cast<std::size_t>(index)];
    if (child != 0) {
      current = child;
      run = 0;
      ++i;
      continue;
    }
    writer.Put(current, codeSize);
    firstSinceClear = false;
    child = static_cast<std::uint16_t>(++lastCode);
    parent[static_cast<std::size_t>(lastCode)] = static_cast<std::uint16_t>(current);
    last[static_cast<std::size_t>(lastCode)] = static_cast<std::uint8_t>(index);
    if (current > kEndCode) {
      nextTwo[static_cast<std::size_t>(parent[static_cast<std::size_t>(current)]) * 4 +
              static_cast<std::size_t>(last[static_cast<std::size_t>(current)] * 2 + index)] = child;
    }
    if (run > 0 && index == 0) {
      longest = run + 1;
      background[static_cast<std::size_t>(longest)] = child;
    }
    if (lastCode >= (1 << codeSize)) ++codeSize;
    if (lastCode == kLastCode) {
      writer.Put(kClearCode, codeSize);
      clear();
    }
    current = index;
    run = index == 0 ? 1 : 0;
    ++i;
  }
  writer.Put(current, codeSize);
  // Reading that last code, the decoder adds its string and may widen
  // before it reads the end code.
  if (!firstSinceClear && lastCode + 1 == (1 << codeSize) && codeSize < 12) ++codeSize;
  writer.Put(kEndCode, codeSize);
  writer.Finish();
}

}  // namespace

GifFrameEncoder::GifFrameEncoder() : tables_(std::make_unique<LzwTables>()) {}
GifFrameEncoder::~GifFrameEncoder() = default;

std::string GifHeader(int width, int height, std::uint32_t brushColor, std::uint32_t penColor) {
  std::string out = "GIF89a";
  PutWord(out, width);
  PutWord(out, height);
  // A global table of two colours, eight bits per primary.
  out += static_cast<char>(0xF0);
  out += '\0';  // Background: index 0.
  out += '\0';  // Square pixels.
  PutColor(out, brushColor);
  PutColor(out, penColor);
  // Loop for ever.
  out += "\x21\xFF\x0B" "NETSCAPE2.0" "\x03\x01";
  PutWord(out, 0);
  out += '\0';
  return out;
}

std::string GifFrameEncoder::Encode(const FrameBitmap& frame, int delay) {
  const int width = frame.Width();
  const int height = frame.Height();
  current_.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  const std::uint32_t pen = frame.PenColor & 0xFFFFFF;
  for (int y = 0; y < height; ++y) {
    const std::uint32_t* row = frame.Pixels() + static_cast<std::size_t>(y) * frame.Stride();
    std::uint8_t* to = current_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
    for (int x = 0; x < width; ++x) to[x] = static_cast<std::uint8_t>(((row[x] ^ pen) << 8) == 0);
  }
  const Rectangle changed = Changed(width, height);
  rectangle_.clear();
  for (int y = changed.top; y < changed.bottom; ++y) {
    const std::uint8_t* row = current_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
    rectangle_.insert(rectangle_.end(), row + changed.left, row + changed.right);
  }
  std::string out;
  // Graphic control: leave the frame in place for the next to draw over,
  // no transparency, the delay.
  out += "\x21\xF9\x04\x04";
  PutWord(out, std::clamp(delay, 0, 65535));
  out += '\0';
  out += '\0';
  // The image: the rectangle, no local colours, not interlaced.
  out += '\x2C';
  PutWord(out, changed.left);
  PutWord(out, changed.top);
  PutWord(out, changed.right - changed.left);
  PutWord(out, changed.bottom - changed.top);
  out += '\0';
  PutPixels(rectangle_, *tables_, out);
  previous_.swap(current_);
  width_ = width;
  height_ = height;
  return out;
}

GifFrameEncoder::Rectangle GifFrameEncoder::Changed(int width, int height) const {
  if (width != width_ || height != height_) return {0, 0, width, height};
  const auto rowOf = [width](const std::vector<std::uint8_t>& pixels, int y) {
    return pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
  };
  const auto same = [&](int y) {
    return std::memcmp(rowOf(current_, y), rowOf(previous_, y), static_cast<std::size_t>(width)) == 0;
  };
  Rectangle changed{width, 0, 0, height};
  while (changed.top < height && same(changed.top)) ++changed.top;
  // Nothing changed: a frame still holds a pixel, the one already there.
  if (changed.top == height) return {0, 0, 1, 1};
  while (same(changed.bottom - 1)) --changed.bottom;
  for (int y = changed.top; y < changed.bottom; ++y) {
    const std::uint8_t* now = rowOf(current_, y);
    const std::uint8_t* before = rowOf(previous_, y);
    int left = 0;
    while (left < changed.left && now[left] == before[left]) ++left;
    changed.left = std::min(changed.left, left);
    int right = width;
    while (right > changed.right && now[right - 1] == before[right - 1]) --right;
    changed.right = std::max(changed.right, right);
  }
  return changed;
}

std::string GifTrailer() { return ";"; }

int GifDelay(int intervalMilliseconds) {
  const int delay = static_cast<int>(std::lround(intervalMilliseconds / 10.0));
  return std::clamp(delay, kFastestGifDelay, 65535);
}

}  // namespace zintrel
