// PNG encoders of a frame of 32-bit words 0x00RRGGBB (the top byte is ignored): an indexed
// image for frames of few colours, which charts are, and the plain 8-bit RGB image for any frame.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pelinor::gdi {

// A PNG file as pieces to be written one after the other.
struct PngPieces {
  std::vector<std::vector<std::uint8_t>> pieces;
  std::vector<std::uint8_t> bytes() const;  // the whole file
};

// A PNG file holding the frame as a palette image (1, 2, 4 or 8 bits per pixel, the fewest that
// hold its colours), or nothing when the frame has more than 256 colours or no pixel. Large
// frames are compressed in two halves on two threads.
std::optional<PngPieces> encodeIndexedPng(const std::uint32_t* pixels, int width, int height);

// Writes the frame as an 8-bit RGB PNG file through libpng; on failure the file is removed.
bool writeRgbPng(const std::string& path, const std::uint32_t* pixels, int width, int height);

}  // namespace pelinor::gdi
