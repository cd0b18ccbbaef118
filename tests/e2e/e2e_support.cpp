#include "tests/e2e/e2e_support.h"

#include <iconv.h>
#include <png.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "tests/support/test_support.h"

namespace e2e {

Result run(const std::string& program, const std::string& args, bool joinErrors) {
  const std::string command = (testsupport::binaryDir() / "apps" / program).string() + " " +
                              args + (joinErrors ? " 2>&1" : " 2>/dev/null");
  Result result;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  char buffer[512];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

bool readPng(const std::string& path, Image& image) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) return false;
  png.format = PNG_FORMAT_RGB;
  image.width = static_cast<int>(png.width);
  image.height = static_cast<int>(png.height);
  image.rgb.assign(PNG_IMAGE_SIZE(png), 0);
  return png_image_finish_read(&png, nullptr, image.rgb.data(), 0, nullptr) != 0;
}

void writeScript(const std::filesystem::path& path, const std::vector<std::string>& events) {
  std::string text;
  for (const auto& e : events) text += e + "\n";
  testsupport::writeFile(path, text);
}

namespace {

// Reads a quoted, escaped string starting at s[pos] == '"'; returns false when unterminated.
bool readQuoted(const std::string& s, std::size_t pos, std::string& out, std::size_t& end) {
  if (pos >= s.size() || s[pos] != '"') return false;
  out.clear();
  for (std::size_t i = pos + 1; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      out += s[++i];
    } else if (s[i] == '"') {
      end = i + 1;
      return true;
    } else {
      out += s[i];
    }
  }
  return false;
}

bool isColour(const std::string& c) {
  if (c.size() != 6) return false;
  for (char ch : c)
    if (!((ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'F'))) return false;
  return true;
}

bool parseLine(const std::string& line, DumpRecord& r) {
  std::istringstream in(line);
  in >> r.kind;
  std::size_t coords = 0;
  if (r.kind == "fill" || r.kind == "rect" || r.kind == "line") coords = 4;
  else if (r.kind == "text" || r.kind == "pixel") coords = 2;
  else return false;
  for (std::size_t i = 0; i < coords; ++i) {
    int v;
    if (!(in >> v)) return false;
    r.xy.push_back(v);
  }
  if (!(in >> r.colour) || !isColour(r.colour)) return false;
  if (r.kind == "rect" || r.kind == "line") {
    if (!(in >> r.extra)) return false;
    if (r.kind == "rect" && r.extra != "none" && !isColour(r.extra)) return false;
    if (r.kind == "line" && r.extra != "solid" && r.extra != "dot" && r.extra != "dashdot")
      return false;
  }
  if (r.kind == "text") {
    in >> std::ws;
    const auto pos = static_cast<std::size_t>(in.tellg());
    std::size_t end = 0;
    if (!readQuoted(line, pos, r.text, end)) return false;
    return end == line.size();
  }
  std::string rest;
  return !(in >> rest);
}

}  // namespace

std::vector<DumpRecord> parseDump(const std::string& contents, bool* ok) {
  std::vector<DumpRecord> records;
  if (ok) *ok = true;
  for (const auto& line : splitLines(contents)) {
    if (line.empty()) continue;
    DumpRecord r;
    if (!parseLine(line, r)) {
      if (ok) *ok = false;
      return {};
    }
    records.push_back(std::move(r));
  }
  return records;
}

std::vector<DumpRecord> textsIn(const std::vector<DumpRecord>& records, const std::string& colour) {
  std::vector<DumpRecord> out;
  for (const auto& r : records)
    if (r.kind == "text" && r.colour == colour) out.push_back(r);
  return out;
}

std::string toSjis(const std::string& utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string in = utf8;
  std::string out(in.size() * 2 + 16, '\0');
  char* inPtr = in.data();
  char* outPtr = out.data();
  std::size_t inLeft = in.size();
  std::size_t outLeft = out.size();
  const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  if (rc == static_cast<std::size_t>(-1) || inLeft != 0) return {};
  out.resize(out.size() - outLeft);
  return out;
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    out.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

std::vector<DailyLine> readDailyFile(const std::filesystem::path& path, bool* ok) {
  std::vector<DailyLine> lines;
  if (ok) *ok = true;
  FILE* fp = std::fopen(path.c_str(), "r");
  if (!fp) {
    if (ok) *ok = false;
    return lines;
  }
  for (;;) {
    DailyLine d;
    char open[2], name[15], close[2];
    const int n = std::fscanf(fp, "%1s%14s%1s,%f,%f,%f,%f,%f,%f,%f,%f,%f", open, name, close,
                              &d.open, &d.high, &d.low, &d.close, &d.change, &d.volume, &d.date,
                              &d.market, &d.code10);
    if (n != 12) {
      if (ok && n != EOF) *ok = false;
      break;
    }
    d.name = name;
    lines.push_back(d);
  }
  std::fclose(fp);
  return lines;
}

bool pngSize(const std::filesystem::path& path, std::uint32_t& width, std::uint32_t& height) {
  std::ifstream in(path, std::ios::binary);
  unsigned char head[24];
  if (!in.read(reinterpret_cast<char*>(head), sizeof head)) return false;
  static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  for (int i = 0; i < 8; ++i)
    if (head[i] != signature[i]) return false;
  // The first chunk is IHDR: length (4), type (4), then width and height, big-endian.
  if (head[12] != 'I' || head[13] != 'H' || head[14] != 'D' || head[15] != 'R') return false;
  auto be32 = [&](int at) {
    return (std::uint32_t{head[at]} << 24) | (std::uint32_t{head[at + 1]} << 16) |
           (std::uint32_t{head[at + 2]} << 8) | std::uint32_t{head[at + 3]};
  };
  width = be32(16);
  height = be32(20);
  return true;
}

}  // namespace e2e
