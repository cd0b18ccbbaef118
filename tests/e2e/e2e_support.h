// Helpers of the end-to-end tests: running the built programs in the working folder, writing
// their event scripts, reading back what they drew, and reading the files they leave behind
// without any of the programs' own code.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace e2e {

struct Result {
  int status = -1;  // exit status, -1 when the program did not exit normally (a crash)
  std::string out;  // standard output
};

// Runs apps/<program> of the build with the arguments (shell words) in the working folder;
// standard error is dropped, or joined to standard output.
Result run(const std::string& program, const std::string& args, bool joinErrors = false);
inline Result pelinorx(const std::string& args) { return run("pelinorx", args); }
inline Result pelinorw(const std::string& args) { return run("pelinorw", args); }

// An RGB picture, 3 bytes a pixel, rows top down.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
};
// Reads a PNG file as RGB; false when it cannot be read.
bool readPng(const std::string& path, Image& image);

// Writes an event script, one event per line.
void writeScript(const std::filesystem::path& path, const std::vector<std::string>& events);

// One operation of a recorded paint. Coordinates keep the order of the line (fill/rect: L T R B;
// text/pixel: X Y; line: X1 Y1 X2 Y2).
struct DumpRecord {
  std::string kind;    // fill, text, line, rect, pixel
  std::vector<int> xy;
  std::string colour;  // RRGGBB
  std::string extra;   // rect: the fill colour or "none"; line: the pen style
  std::string text;    // text: the string, unescaped, in UTF-8
};

// Parses a dump file's contents; a line that does not follow the format makes the result empty
// and sets ok to false.
std::vector<DumpRecord> parseDump(const std::string& contents, bool* ok = nullptr);

// The texts of a dump in one colour, in drawing order.
std::vector<DumpRecord> textsIn(const std::vector<DumpRecord>& records, const std::string& colour);

// UTF-8 -> CP932 through the C library's converter (independent of the programs' own tables).
std::string toSjis(const std::string& utf8);

// Lines of a text without their line feeds.
std::vector<std::string> splitLines(const std::string& text);

// One stock line of a daily price file, converted as the store converts it.
struct DailyLine {
  std::string name;  // the 14 name bytes
  float open = 0, high = 0, low = 0, close = 0, change = 0, volume = 0, date = 0, market = 0,
        code10 = 0;
};

// Reads a daily price file with the line format of the store; stops at the first line that does
// not convert fully (ok is set to false when that happens before the end of the file).
std::vector<DailyLine> readDailyFile(const std::filesystem::path& path, bool* ok = nullptr);

// Width and height from a PNG file's header; false when the file is not a PNG.
bool pngSize(const std::filesystem::path& path, std::uint32_t& width, std::uint32_t& height);

}  // namespace e2e
