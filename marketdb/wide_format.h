// What every file of a wide database shares: the version of its format, the magic line that
// opens each text file, and the refusals a reader gives when a file is not one it knows.
//
// A text file of a wide database begins with one line "PELWIDE <file> <version>" (ASCII, LF),
// so that it is never read as a file of the classic kind or of another version; the price file
// begins with a header of its own (wide_header.h).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace marketdb {

// The version of the wide formats this program reads and writes.
constexpr int WideFormatVersion = 1;

// The outcome of a check of a wide file: ok, or the refusal (CP932) naming the file and, for a
// text file, the line (1-based; 0 when no single line is at fault).
struct WideCheck {
  bool ok = true;
  int line = 0;
  std::string message;
};

enum class WideText { System, Settings, Index };

// "PELWIDE SYS 1\n" and the like: the first line of a text file of this version.
std::string wideMagicLine(WideText which);

// Checks the first line of `text`, the contents of `fileName`. On success `bodyAt` is the offset
// just past that line.
WideCheck checkWideMagic(std::string_view text, WideText which, const char* fileName,
                         std::size_t& bodyAt);

// The refusals every reader of the wide files gives. `where` names the file (and the line).
WideCheck unknownFormat(const std::string& where, int line);
WideCheck laterVersion(const std::string& where, int line, unsigned long version);
WideCheck damagedHeader(const std::string& where);
// "pelwide.sys の1行目": a file and a line, for the messages above.
std::string fileLine(const char* fileName, int line);

}  // namespace marketdb
