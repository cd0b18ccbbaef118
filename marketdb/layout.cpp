#include "marketdb/layout.h"

#include <algorithm>
#include <cstdio>

namespace marketdb {

void DatabaseLayout::encodeRecord(const DayRecord& rec, unsigned char* out) const {
  // Every value a sound classic record decodes to converts back to the bytes it came from.
  putLittle(out + 0, std::bit_cast<std::uint32_t>(classicDateValue(rec.date)), 4);
  putLittle(out + 4, static_cast<std::uint16_t>(rec.open), 2);
  putLittle(out + 6, static_cast<std::uint16_t>(rec.high), 2);
  putLittle(out + 8, static_cast<std::uint16_t>(rec.low), 2);
  putLittle(out + 10, static_cast<std::uint16_t>(rec.close), 2);
  putLittle(out + 12, static_cast<std::uint16_t>(rec.change), 2);
  putLittle(out + 14, std::bit_cast<std::uint32_t>(static_cast<float>(rec.volume)), 4);
}

void DatabaseLayout::decodeRecords(const unsigned char* in, int count,
                                   StockHistory& history) const {
  const int days = ringDays;
  const std::int64_t stride = ringStride;
  count = std::clamp(count, 0, days);
  for (int s = 0; s < count; ++s, in += stride) decodeRecord(in, history.day[s]);
  for (int s = count; s < days; ++s) history.day[s] = DayRecord{};
}

std::string DatabaseLayout::formatDate(std::int32_t date, char pad) const {
  char text[32];
  std::snprintf(text, sizeof text, pad == '0' ? "%06g" : "%6g",
                static_cast<double>(classicDateValue(date)));
  return text;
}

std::int32_t DatabaseLayout::readDate(double number) const {
  return dateKey(static_cast<float>(number));
}

// Only the classic kind exists so far.
const DatabaseLayout& openLayout() { return ClassicLayout; }

}  // namespace marketdb
