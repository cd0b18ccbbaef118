// The glyph file: its format, its checks, and reading and replacing it.
//
// Layout, every number little-endian:
//   header (32 bytes): "PLNRGLYF", u32 format, u32 identity length, u32 glyph count,
//                      u32 run count, u64 checksum of everything after the header
//   identity bytes, padded with zeros to a multiple of 4
//   index, one 40-byte entry per glyph in increasing key order: u32 code point, u32 em width,
//     u32 cell height, u32 bold, i32 left, i32 top, u32 width, u32 height, u32 first run,
//     u32 run count
//   runs, 6 bytes each: u16 row, u16 from, u16 to
#include "platform/gdi/glyph_cache_file.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace pelinor::gdi {
namespace {

constexpr char kMagic[8] = {'P', 'L', 'N', 'R', 'G', 'L', 'Y', 'F'};
constexpr std::uint32_t kFormat = 1;
// Changes whenever the rendering turns an outline into other pixels (hinting, emboldening,
// thresholds, baseline): files made by the old rules are then ignored.
constexpr int kRenderRules = 1;
constexpr std::size_t kHeaderBytes = 32;
constexpr std::size_t kEntryBytes = 40;
constexpr std::size_t kRunBytes = 6;
constexpr std::size_t kMaxIdentityBytes = 4096;
constexpr int kMaxSide = 4096;        // of a cell, as a key
constexpr int kMaxOffset = 1 << 20;   // of a bitmap from its cell

std::uint32_t getU32(const char* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
  return v;
}
std::uint16_t getU16(const char* p) {
  std::uint16_t v;
  std::memcpy(&v, p, 2);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap16(v);
  return v;
}
std::uint64_t getU64(const char* p) {
  return getU32(p) | (static_cast<std::uint64_t>(getU32(p + 4)) << 32);
}
void putU32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void putU16(std::string& out, std::uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}
void putU64At(std::string& out, std::size_t at, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::size_t padded(std::size_t n) { return (n + 3) & ~std::size_t{3}; }

// Two lanes of eight bytes; each step is a bijection of its lane for a given word and of the word
// for a given lane, so a change within one word always changes the sum.
std::uint64_t checksum(const char* p, std::size_t n) {
  constexpr std::uint64_t k1 = 0x9E3779B97F4A7C15ull, k2 = 0xC2B2AE3D27D4EB4Full;
  std::uint64_t a = 0x243F6A8885A308D3ull, b = 0x13198A2E03707344ull ^ n;
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    std::uint64_t x, y;
    std::memcpy(&x, p + i, 8);
    std::memcpy(&y, p + i + 8, 8);
    a = std::rotl(a + x * k1, 31) * k2;
    b = std::rotl(b + y * k1, 31) * k2;
  }
  if (i + 8 <= n) {
    std::uint64_t x;
    std::memcpy(&x, p + i, 8);
    b = std::rotl(b + x * k1, 31) * k2;
    i += 8;
  }
  std::uint64_t tail = 0;  // fewer than 8 bytes
  std::memcpy(&tail, p + i, n - i);
  a = std::rotl(a + tail * k1, 31) * k2;
  std::uint64_t h = a ^ std::rotl(b, 17);
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  return h;
}

std::string fileStamp(const char* path) {
  struct stat st {};
  if (::stat(path, &st) != 0) return {};
  return std::string(path) + ' ' + std::to_string(st.st_size) + ' ' +
         std::to_string(st.st_mtim.tv_sec) + '.' + std::to_string(st.st_mtim.tv_nsec);
}

// The shared library FreeType runs from, when it is one: its headers' version may not be the
// library's. When FreeType is part of the program, the headers' version is exact.
std::string freetypeLibraryStamp() {
  void* init = ::dlsym(RTLD_DEFAULT, "FT_Init_FreeType");
  Dl_info library{}, self{};
  if (init == nullptr || ::dladdr(init, &library) == 0 || library.dli_fname == nullptr ||
      library.dli_fname[0] != '/')
    return {};
  if (::dladdr(reinterpret_cast<void*>(&glyphFileIdentity), &self) != 0 &&
      self.dli_fbase == library.dli_fbase)
    return {};
  return fileStamp(library.dli_fname);
}

}  // namespace

std::optional<GlyphFile> GlyphFile::parse(std::string bytes, std::string_view identity) {
  const std::size_t size = bytes.size();
  const char* p = bytes.data();
  if (size < kHeaderBytes || std::memcmp(p, kMagic, 8) != 0 || getU32(p + 8) != kFormat)
    return std::nullopt;
  const std::uint64_t identityBytes = getU32(p + 12);
  const std::uint64_t count = getU32(p + 16);
  const std::uint64_t runCount = getU32(p + 20);
  if (identityBytes != identity.size() || identityBytes > kMaxIdentityBytes) return std::nullopt;
  const std::uint64_t index = kHeaderBytes + padded(identityBytes);
  if (index + count * kEntryBytes + runCount * kRunBytes != size) return std::nullopt;
  if (identity != std::string_view(p + kHeaderBytes, identityBytes)) return std::nullopt;
  if (checksum(p + kHeaderBytes, size - kHeaderBytes) != getU64(p + 24)) return std::nullopt;

  GlyphFile file;
  file.count_ = count;
  file.index_ = index;
  file.runs_ = index + count * kEntryBytes;
  file.runCount_ = runCount;
  std::uint64_t nextRun = 0;
  GlyphKey previous;
  for (std::size_t i = 0; i < count; ++i) {
    const char* e = p + index + i * kEntryBytes;
    const std::uint32_t cp = getU32(e), em = getU32(e + 4), cell = getU32(e + 8),
                        bold = getU32(e + 12), width = getU32(e + 24), height = getU32(e + 28),
                        first = getU32(e + 32), runs = getU32(e + 36);
    const auto left = static_cast<std::int32_t>(getU32(e + 16));
    const auto top = static_cast<std::int32_t>(getU32(e + 20));
    if (cp > 0x10FFFF || em < 1 || em > kMaxSide || cell < 1 || cell > kMaxSide || bold > 1 ||
        width > 0xFFFF || height > 0xFFFF || left < -kMaxOffset || left > kMaxOffset ||
        top < -kMaxOffset || top > kMaxOffset || first != nextRun || runs > runCount - nextRun)
      return std::nullopt;
    GlyphKey key{cp, static_cast<int>(em), static_cast<int>(cell), bold != 0};
    if (i > 0 && !(previous < key)) return std::nullopt;
    previous = key;
    nextRun += runs;
  }
  if (nextRun != runCount) return std::nullopt;
  file.bytes_ = std::move(bytes);
  return file;
}

GlyphKey GlyphFile::keyAt(std::size_t i) const {
  const char* e = bytes_.data() + index_ + i * kEntryBytes;
  return {getU32(e), static_cast<int>(getU32(e + 4)), static_cast<int>(getU32(e + 8)),
          getU32(e + 12) != 0};
}

bool GlyphFile::find(const GlyphKey& key, ReadyGlyph& glyph) const {
  std::size_t lo = 0, hi = count_;
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (keyAt(mid) < key)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo < count_ && keyAt(lo) == key && glyphAt(lo, glyph);
}

bool GlyphFile::glyphAt(std::size_t i, ReadyGlyph& glyph) const {
  if (i >= count_) return false;
  const char* e = bytes_.data() + index_ + i * kEntryBytes;
  ReadyGlyph out;
  out.left = static_cast<std::int32_t>(getU32(e + 16));
  out.top = static_cast<std::int32_t>(getU32(e + 20));
  out.width = static_cast<int>(getU32(e + 24));
  out.height = static_cast<int>(getU32(e + 28));
  const std::size_t first = getU32(e + 32), runs = getU32(e + 36);
  out.runs.resize(runs);
  const char* r = bytes_.data() + runs_ + first * kRunBytes;
  for (std::size_t k = 0; k < runs; ++k, r += kRunBytes) {
    InkRun& run = out.runs[k];
    run.row = getU16(r);
    run.from = getU16(r + 2);
    run.to = getU16(r + 4);
    // Checked when used: a run outside its bitmap would draw outside the glyph's cell.
    if (run.row >= out.height || run.from >= run.to || run.to > out.width) return false;
  }
  glyph = std::move(out);
  return true;
}

std::string formatGlyphFile(std::string_view identity,
                            const std::vector<std::pair<GlyphKey, ReadyGlyph>>& glyphs) {
  std::string index, runs;
  std::uint32_t count = 0, runCount = 0;
  for (const auto& [key, glyph] : glyphs) {
    if (glyph.width < 0 || glyph.width > 0xFFFF || glyph.height < 0 || glyph.height > 0xFFFF)
      continue;
    putU32(index, key.cp);
    putU32(index, static_cast<std::uint32_t>(key.emWidth));
    putU32(index, static_cast<std::uint32_t>(key.cellHeight));
    putU32(index, key.bold ? 1 : 0);
    putU32(index, static_cast<std::uint32_t>(glyph.left));
    putU32(index, static_cast<std::uint32_t>(glyph.top));
    putU32(index, static_cast<std::uint32_t>(glyph.width));
    putU32(index, static_cast<std::uint32_t>(glyph.height));
    putU32(index, runCount);
    putU32(index, static_cast<std::uint32_t>(glyph.runs.size()));
    for (const InkRun& run : glyph.runs) {
      putU16(runs, static_cast<std::uint16_t>(run.row));
      putU16(runs, static_cast<std::uint16_t>(run.from));
      putU16(runs, static_cast<std::uint16_t>(run.to));
    }
    runCount += static_cast<std::uint32_t>(glyph.runs.size());
    ++count;
  }
  std::string out(kMagic, 8);
  putU32(out, kFormat);
  putU32(out, static_cast<std::uint32_t>(identity.size()));
  putU32(out, count);
  putU32(out, runCount);
  putU32(out, 0);
  putU32(out, 0);  // the checksum, placed below
  out.append(identity);
  out.resize(kHeaderBytes + padded(identity.size()), '\0');
  out += index;
  out += runs;
  putU64At(out, 24, checksum(out.data() + kHeaderBytes, out.size() - kHeaderBytes));
  return out;
}

std::string mergedGlyphFile(std::string_view identity, const GlyphFile* stored,
                            std::vector<std::pair<GlyphKey, ReadyGlyph>> fresh, std::size_t limit) {
  std::vector<std::pair<GlyphKey, ReadyGlyph>> glyphs;
  if (stored != nullptr) {
    glyphs.reserve(stored->size() + fresh.size());
    for (std::size_t i = 0; i < stored->size(); ++i) {
      ReadyGlyph glyph;
      if (stored->glyphAt(i, glyph)) glyphs.emplace_back(stored->keyAt(i), std::move(glyph));
    }
  }
  const auto middle = static_cast<std::ptrdiff_t>(glyphs.size());
  glyphs.insert(glyphs.end(), fresh.begin(), fresh.end());
  // The run's glyphs are those the file lacked, so the two parts never share a key.
  std::inplace_merge(glyphs.begin(), glyphs.begin() + middle, glyphs.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
  std::string bytes = formatGlyphFile(identity, glyphs);
  // A cache grown beyond its limit starts again from what this run drew.
  if (bytes.size() > limit && glyphs.size() > fresh.size()) bytes = formatGlyphFile(identity, fresh);
  if (bytes.size() > limit) bytes.clear();
  return bytes;
}

std::string glyphFileIdentity(const std::string& fontPath) {
  std::string font = fileStamp(fontPath.c_str());
  if (font.empty()) return {};
  std::string identity = "font " + font + "\nrules " + std::to_string(kRenderRules) +
                         "\nfreetype " + std::to_string(FREETYPE_MAJOR) + '.' +
                         std::to_string(FREETYPE_MINOR) + '.' + std::to_string(FREETYPE_PATCH) +
                         "\nlibrary " + freetypeLibraryStamp() + "\nproperties ";
  // Settings FreeType takes from the environment may change its hinting.
  if (const char* properties = std::getenv("FREETYPE_PROPERTIES")) identity += properties;
  identity += '\n';
  if (identity.size() > kMaxIdentityBytes) return {};
  return identity;
}

std::string glyphCacheFolder() {
  const char* off = std::getenv("PELINOR_GLYPH_CACHE");
  if (off != nullptr && std::strcmp(off, "0") == 0) return {};
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  if (xdg != nullptr && xdg[0] == '/') return std::string(xdg) + "/pelinor";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.cache/pelinor";
  return {};
}

std::string readGlyphFile(const std::string& path) {
  std::string bytes;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return bytes;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 &&
      static_cast<std::uint64_t>(st.st_size) <= kMaxGlyphFileBytes) {
    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < bytes.size()) {
      ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);  // a file cut short meanwhile fails its checks
  }
  ::close(fd);
  return bytes;
}

bool writeGlyphFile(const std::string& folder, const std::string& bytes) {
  if (folder.empty() || bytes.size() > kMaxGlyphFileBytes) return false;
  // The cache folder and its parent are made when missing, for this user alone.
  const std::size_t slash = folder.rfind('/');
  if (slash != std::string::npos && slash > 0) ::mkdir(folder.substr(0, slash).c_str(), 0700);
  ::mkdir(folder.c_str(), 0700);
  std::string temporary = folder + "/" + kGlyphFileName + ".XXXXXX";
  int fd = ::mkstemp(temporary.data());
  if (fd < 0) return false;
  std::size_t put = 0;
  while (put < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + put, bytes.size() - put);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    put += static_cast<std::size_t>(n);
  }
  // A concurrent run replacing the file as well is harmless: each rename puts a whole file.
  const bool ok = ::close(fd) == 0 && put == bytes.size() &&
                  ::rename(temporary.c_str(), (folder + "/" + kGlyphFileName).c_str()) == 0;
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

}  // namespace pelinor::gdi
