// Shift-JIS (code page 932) <-> Unicode through the C library's converter.
//
// Decoding goes through a table filled from the converter: the single bytes when the table is
// first needed, and the double bytes of a lead byte when a character of that lead is first met
// (the stock names of a database use a few dozen of the sixty leads). Encoding
// asks the converter directly, one character at a time, so that a character the code page
// cannot hold becomes '?' without disturbing the rest of the string.
#include "platform/text/cp932.h"

#include <iconv.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

namespace pelinor::text {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kUnassigned = 0;  // table marker: no character for this code

bool isLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool isTrailByte(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }
bool isHalfWidthKana(unsigned char b) { return b >= 0xA1 && b <= 0xDF; }

// Decodes bytes with a converter into one code point; kUnassigned when they do not decode to
// exactly one character.
char32_t convertOne(iconv_t cd, const unsigned char* bytes, std::size_t count) {
  char in[2] = {static_cast<char>(bytes[0]), count > 1 ? static_cast<char>(bytes[1]) : '\0'};
  unsigned char out[8] = {};
  char* inPtr = in;
  std::size_t inLeft = count;
  char* outPtr = reinterpret_cast<char*>(out);
  std::size_t outLeft = sizeof out;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0)
    return kUnassigned;
  if (sizeof out - outLeft != 4) return kUnassigned;  // UTF-32BE: exactly one character
  return (char32_t{out[0]} << 24) | (char32_t{out[1]} << 16) | (char32_t{out[2]} << 8) |
         char32_t{out[3]};
}

// The decode table: code points of the single bytes and of every double byte lead/trail pair.
// Rows of pairs are made on first use; a row once published never changes, so readers take no
// lock.
class DecodeTable {
 public:
  using Row = std::array<char32_t, 256>;

  DecodeTable() {
    for (unsigned b = 0; b < 0x80; ++b) single_[b] = b;
    // Half-width katakana follow Unicode's half-width forms block in the same order; used when
    // the converter is missing.
    for (unsigned b = 0xA1; b <= 0xDF; ++b) single_[b] = 0xFF61 + (b - 0xA1);
    cd_ = iconv_open("UTF-32BE", "CP932");
    if (!converterOk()) return;
    for (unsigned b = 0xA1; b <= 0xDF; ++b) {
      unsigned char byte = static_cast<unsigned char>(b);
      char32_t cp = convertOne(cd_, &byte, 1);
      if (cp != kUnassigned) single_[b] = cp;
    }
  }
  ~DecodeTable() {
    if (converterOk()) iconv_close(cd_);
    for (auto& row : rows_) delete row.load();
  }
  DecodeTable(const DecodeTable&) = delete;
  DecodeTable& operator=(const DecodeTable&) = delete;

  char32_t single(unsigned char b) const { return single_[b]; }
  char32_t pair(unsigned char lead, unsigned char trail) {
    const Row* row = rows_[lead].load(std::memory_order_acquire);
    if (row == nullptr) row = makeRow(lead);
    return (*row)[trail];
  }

 private:
  bool converterOk() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  const Row* makeRow(unsigned lead) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (const Row* made = rows_[lead].load(std::memory_order_acquire)) return made;
    auto row = std::make_unique<Row>();
    row->fill(kUnassigned);
    if (converterOk() && isLeadByte(static_cast<unsigned char>(lead)) && !convertRow(*row, lead))
      convertRowPairByPair(*row, lead);
    rows_[lead].store(row.get(), std::memory_order_release);
    return row.release();
  }

  // Every trail byte of one lead byte, one converter call per pair.
  void convertRowPairByPair(Row& out, unsigned lead) {
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      if (!isTrailByte(static_cast<unsigned char>(trail))) continue;
      unsigned char pair[2] = {static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)};
      out[trail] = convertOne(cd_, pair, 2);
    }
  }

  // The same row in a few converter calls: the pairs of the row are converted as one text, a pair
  // the converter refuses is marked unassigned and stepped over. Each pair must give exactly one
  // character for the output to line up with the pairs; false (row untouched) when it does not,
  // and the row is then converted pair by pair.
  bool convertRow(Row& out, unsigned lead) {
    unsigned char in[2 * 189];
    unsigned trails[189];
    int count = 0;
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      if (!isTrailByte(static_cast<unsigned char>(trail))) continue;
      in[2 * count] = static_cast<unsigned char>(lead);
      in[2 * count + 1] = static_cast<unsigned char>(trail);
      trails[count++] = trail;
    }
    char32_t row[189];
    int done = 0;
    while (done < count) {
      unsigned char converted[4 * 189];
      char* inPtr = reinterpret_cast<char*>(in + 2 * done);
      std::size_t inLeft = 2 * static_cast<std::size_t>(count - done);
      char* outPtr = reinterpret_cast<char*>(converted);
      std::size_t outLeft = sizeof converted;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
      const std::size_t result = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
      const std::size_t consumed = 2 * static_cast<std::size_t>(count - done) - inLeft;
      const std::size_t produced = sizeof converted - outLeft;
      if (consumed % 2 != 0 || produced != 2 * consumed) return false;
      for (std::size_t i = 0; i < consumed / 2; ++i) {
        const unsigned char* o = converted + 4 * i;
        row[done + i] = (char32_t{o[0]} << 24) | (char32_t{o[1]} << 16) | (char32_t{o[2]} << 8) |
                        char32_t{o[3]};
      }
      done += static_cast<int>(consumed / 2);
      if (result == static_cast<std::size_t>(-1)) {
        if (errno != EILSEQ && errno != EINVAL) return false;
        row[done++] = kUnassigned;  // the pair the converter refused
      } else if (done < count) {
        return false;
      }
    }
    for (int i = 0; i < count; ++i) out[trails[i]] = row[i];
    return true;
  }

  std::array<char32_t, 256> single_{};
  std::array<std::atomic<const Row*>, 256> rows_{};
  std::mutex mutex_;  // held while a row is made (and the converter used)
  iconv_t cd_ = reinterpret_cast<iconv_t>(-1);
};

DecodeTable& table() {
  static DecodeTable t;  // initialised once, thread-safely
  return t;
}

void appendUtf8(std::string& out, char32_t cp) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Length of the well-formed UTF-8 sequence at pos, or 0 when the byte there does not start one.
std::size_t utf8SequenceLength(std::string_view s, std::size_t pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  unsigned char b = byte(pos);
  std::size_t len = 0;
  char32_t cp = 0;
  if (b < 0x80) return 1;
  if (b >= 0xC2 && b <= 0xDF) {
    len = 2;
    cp = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    len = 3;
    cp = b & 0x0F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    len = 4;
    cp = b & 0x07;
  } else {
    return 0;
  }
  if (pos + len > s.size()) return 0;
  for (std::size_t i = 1; i < len; ++i) {
    if ((byte(pos + i) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(pos + i) & 0x3F);
  }
  // Reject overlong forms, surrogates and values beyond Unicode.
  if ((len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) || cp > 0x10FFFF ||
      (cp >= 0xD800 && cp <= 0xDFFF))
    return 0;
  return len;
}

// One UTF-8 -> CP932 converter per thread (a converter keeps state and must not be shared).
class Encoder {
 public:
  Encoder() : cd_(iconv_open("CP932", "UTF-8")) {}
  ~Encoder() {
    if (ok()) iconv_close(cd_);
  }
  Encoder(const Encoder&) = delete;
  Encoder& operator=(const Encoder&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Appends the CP932 bytes of one UTF-8 character; false when the code page cannot hold it.
  bool append(std::string& out, std::string_view utf8Char) {
    char in[4];
    for (std::size_t i = 0; i < utf8Char.size(); ++i) in[i] = utf8Char[i];
    char buf[8];
    char* inPtr = in;
    std::size_t inLeft = utf8Char.size();
    char* outPtr = buf;
    std::size_t outLeft = sizeof buf;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) ||
        inLeft != 0)
      return false;
    out.append(buf, sizeof buf - outLeft);
    return true;
  }

 private:
  iconv_t cd_;
};

}  // namespace

Cp932Char decodeAt(std::string_view s, std::size_t pos) {
  Cp932Char c;
  if (pos >= s.size()) {
    c.codePoint = kReplacement;
    c.valid = false;
    return c;
  }
  DecodeTable& t = table();
  unsigned char b = static_cast<unsigned char>(s[pos]);
  if (b < 0x80 || isHalfWidthKana(b)) {
    c.codePoint = t.single(b);
    return c;
  }
  if (isLeadByte(b) && pos + 1 < s.size()) {
    unsigned char trail = static_cast<unsigned char>(s[pos + 1]);
    if (isTrailByte(trail)) {
      // A well-formed pair always takes two bytes and a full-width cell, so that the
      // characters after it stay in step even when the pair has no character assigned.
      char32_t cp = t.pair(b, trail);
      c.bytes = 2;
      c.fullWidth = true;
      c.valid = cp != kUnassigned;
      c.codePoint = c.valid ? cp : kReplacement;
      return c;
    }
  }
  c.codePoint = kReplacement;
  c.valid = false;
  return c;
}

char32_t convertPairPlain(unsigned char lead, unsigned char trail) {
  iconv_t cd = iconv_open("UTF-32BE", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return kUnassigned;
  const unsigned char pair[2] = {lead, trail};
  const char32_t cp = convertOne(cd, pair, 2);
  iconv_close(cd);
  return cp;
}

int cellCount(std::string_view cp932) {
  int cells = 0;
  for (std::size_t pos = 0; pos < cp932.size();) {
    Cp932Char c = decodeAt(cp932, pos);
    cells += c.fullWidth ? 2 : 1;
    pos += static_cast<std::size_t>(c.bytes);
  }
  return cells;
}

std::string toUtf8(std::string_view cp932) {
  std::string out;
  out.reserve(cp932.size() * 2);
  for (std::size_t pos = 0; pos < cp932.size();) {
    Cp932Char c = decodeAt(cp932, pos);
    appendUtf8(out, c.codePoint);
    pos += static_cast<std::size_t>(c.bytes);
  }
  return out;
}

std::string toCp932(std::string_view utf8) {
  thread_local Encoder encoder;
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    unsigned char b = static_cast<unsigned char>(utf8[pos]);
    if (b < 0x80) {
      out += static_cast<char>(b);
      ++pos;
      continue;
    }
    std::size_t len = utf8SequenceLength(utf8, pos);
    if (len == 0) {  // a stray byte: one '?'
      out += '?';
      ++pos;
      continue;
    }
    if (!encoder.ok() || !encoder.append(out, utf8.substr(pos, len))) out += '?';
    pos += len;
  }
  return out;
}

std::string format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string s = vformat(fmt, args);
  va_end(args);
  return s;
}

std::string vformat(const char* fmt, va_list args) {
  char small[256];
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(small, sizeof small, fmt, copy);
  va_end(copy);
  if (n < 0) return std::string();
  if (static_cast<std::size_t>(n) < sizeof small) return std::string(small, static_cast<std::size_t>(n));
  std::string out(static_cast<std::size_t>(n) + 1, '\0');
  std::vsnprintf(out.data(), out.size(), fmt, args);
  out.resize(static_cast<std::size_t>(n));
  return out;
}

}  // namespace pelinor::text
