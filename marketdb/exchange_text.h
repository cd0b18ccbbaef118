// The columns that the files the programs hand to the user and to each other (the two ranking
// files, kabudata.txt) write for a code and a date, for either kind of database. Both programs
// format them here, so the two kinds differ in this one file: a classic database writes the code
// as its number and the date as yymmdd, a wide one the code's four characters and the full
// yyyymmdd.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "marketdb/layout.h"
#include "marketdb/stock_code.h"

namespace marketdb {

// The code in four columns, right-aligned: "%4d" of the classic number ("   0" for a code the
// classic files cannot hold), "%4s" of the four characters in a wide database.
std::string exchangeCodeText(const DatabaseLayout& layout, StockCode code);

// A code column read back: a number 1000..9999 in a classic file, four characters of the code
// grammar in a wide one. NoStockCode when the word is not wholly such a code.
StockCode readExchangeCode(const DatabaseLayout& layout, std::string_view word);

// A date of the ranking title (0: none): "%06g" of the classic yymmdd, "%08d" of yyyymmdd.
std::string exchangeTitleDate(const DatabaseLayout& layout, std::int32_t date);

// The date column of kabudata.txt (0 for an empty slot): "%6g" of the classic yymmdd, "%8d" of
// yyyymmdd.
std::string exchangeColumnDate(const DatabaseLayout& layout, std::int32_t date);

// A date the user typed (the analysis's comparison date) in memory form: the classic yymmdd
// through the century window (layout.readDate), the wide yyyymmdd as it is. A wide number that
// is not a whole day of 1900..2099 gives -1, which no comparison takes; 0 stays 0.
std::int32_t readTypedDate(const DatabaseLayout& layout, double typed);

// Rows a ranking file holds per market group: 2,399 in a classic database, as the files always
// held, and one per record slot in a wide one.
int rankingRowLimit(const DatabaseLayout& layout);

}  // namespace marketdb
