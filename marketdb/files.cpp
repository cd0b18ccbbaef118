#include "marketdb/files.h"

namespace marketdb {

std::string missingFileMessage(const char*) { return {}; }
std::string unwritableFileMessage(const char*) { return {}; }
const std::string& fileCaption() {
  static const std::string s;
  return s;
}
void encodeDayRecord(const DayRecord&, unsigned char out[DayRecordBytes]) {
  for (int i = 0; i < DayRecordBytes; ++i) out[i] = 0;
}
DayRecord decodeDayRecord(const unsigned char*) { return {}; }
int ifnc(const void*, const void*) { return 0; }
int StockTable::findStock(float) const { return -1; }
FileStatus readSystemFile(SystemFile&) { return FileStatus::Missing; }
FileStatus writeSystemFile(const SystemFile&) { return FileStatus::WriteFailed; }
FileStatus readSettingsFile(SettingsFile&, int) { return FileStatus::Missing; }
FileStatus writeSettingsFile(const SettingsFile&) { return FileStatus::WriteFailed; }
FileStatus readStockTable(StockTable&) { return FileStatus::Missing; }
FileStatus writeStockTable(const StockTable&) { return FileStatus::WriteFailed; }
std::string formatSystemFile(const SystemFile&) { return {}; }
std::string formatSettingsFile(const SettingsFile&) { return {}; }
std::string formatIndexLine(int, int, float, const char*, int, int) { return {}; }
bool replaceFileAtomically(const std::string&, const std::string&) { return false; }
PriceFile::~PriceFile() {}
bool PriceFile::openForReading() { return false; }
bool PriceFile::openForWriting() { return false; }
void PriceFile::close() {}
bool PriceFile::readHistory(int, StockHistory&) const { return false; }
bool PriceFile::readRecord(int, int, DayRecord&) const { return false; }
bool PriceFile::writeDay(int, int, const DayRecord&) { return false; }
bool PriceFile::initHistory(int) { return false; }
bool PriceFile::sync() { return false; }
double dateKey(float) { return 0; }
bool dateLater(float, float) { return false; }
int sectionOfMarketCode(int) { return 0; }
const std::string& sectionLabel(int) {
  static const std::string s;
  return s;
}

}  // namespace marketdb
