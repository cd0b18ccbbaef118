// The header of pelwide.dat from any bytes: a refusal says why; a header that passes holds the
// fields of its version, and encoded again gives its own first 40 bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "marketdb/wide_header.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Short inputs are padded to a whole header, so that the fuzzer reaches the fields.
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (size >= 8 && size < 4096) bytes.resize(4096, '\0');
  marketdb::WideHeader h;
  const marketdb::WideCheck c = marketdb::decodeWideHeader(
      reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), "pelwide.dat", h);
  if (!c.ok) {
    if (c.message.empty()) __builtin_trap();
    return 0;
  }
  if ((h.version != 1 && h.version != 2) || h.headerBytes != 4096 || h.recordBytes != 32 ||
      h.ringDays != 640 || h.capacity < 1 || h.capacity > 100000 || h.recordsAssigned > h.capacity)
    __builtin_trap();
  if (marketdb::encodeWideHeader(h).compare(0, 40, bytes, 0, 40) != 0) __builtin_trap();
  return 0;
}
