// Stock codes of four characters: the first and third a digit (the first 1..9), the second and
// fourth a digit or one of the 19 letters A C D F G H J K L M N P R S T U W X Y. The letters B, E,
// I, O, Q, V and Z are never given, as they are easily mistaken for digits or each other.
//
// In memory a code is a StockCode: its four ASCII bytes in one 32-bit number, the first
// character in the highest byte ("130A" is 0x31333041). ASCII puts the digits before the
// capital letters, so comparing two codes as unsigned numbers orders them character by
// character with digits first (1309 < 130A < 130Y < 1310), and all-digit codes keep their
// numeric order. Every list, page and file that is sorted by code uses this order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace marketdb {

using StockCode = std::uint32_t;

constexpr StockCode NoStockCode = 0;             // an empty position of a code list
constexpr StockCode StockCodeEnd = 0xFFFFFFFFu;  // marks the end of a table; above every code

// Whether c is one of the 19 letters a code may hold in its second and fourth place.
bool isCodeLetter(char c);

// The code written as four characters ("7203", "130A"); NoStockCode when the text is not four
// characters of the grammar.
StockCode codeFromText(std::string_view four);

// A code as the exchange's sources and the daily files give it: the four characters, or the
// five-character form whose last character is 0 ("130A0" and "72030" are 130A and 7203; a
// fifth character other than 0 names another class of share and is not taken).
// NoStockCode for anything else.
StockCode codeFromSource(std::string_view fourOrFive);

// Whether the key is a code of the grammar (so neither NoStockCode nor StockCodeEnd).
bool isValidCode(StockCode code);

// The four characters of a valid code; "" for any other key, so that a damaged key is never
// printed as if it were a code.
std::string codeText(StockCode code);

// The five-character source form ("130A0"); "" for a key that is not a valid code.
std::string codeSourceText(StockCode code);

// The classic numeric code: a whole number 1000..9999 becomes its four digits; any other value
// (a fraction, a number out of range, NaN) gives NoStockCode.
StockCode codeFromNumber(double number);

// The classic number of an all-digit code (1000..9999); 0 for a code with letters or a key
// that is not a code, which the classic files cannot hold.
int codeNumber(StockCode code);

}  // namespace marketdb
