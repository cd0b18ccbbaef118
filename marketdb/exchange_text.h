// The code column of the files the programs hand to the user and to each other (the two
// ranking files, kabudata.txt), and the rows a ranking file holds, for either kind of database:
// a classic database writes the code as its number, a wide one its four characters. (Their
// dates are the layout's formatDate: yymmdd or the full yyyymmdd.)
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "marketdb/layout.h"
#include "marketdb/stock_code.h"

namespace marketdb {

// The code in four columns, right-aligned: "%4d" of the classic number ("   0" for a code the
// classic files cannot hold), "%4s" of the four characters in a wide database (the layout's
// formatCode, padded).
std::string exchangeCodeText(const DatabaseLayout& layout, StockCode code);

// A code column read back: a number 1000..9999 in a classic file, four characters of the code
// grammar in a wide one. NoStockCode when the word is not wholly such a code.
StockCode readExchangeCode(const DatabaseLayout& layout, std::string_view word);

// Rows a ranking file holds per market group: 2,399 in a classic database, as the files always
// held, and one per record slot in a wide one.
int rankingRowLimit(const DatabaseLayout& layout);

}  // namespace marketdb
