// pelinoru.idx checked before a store, a re-store or an analysis trusts it. The readers stop at
// the first line that does not convert, and the store gives new stocks the slot after the
// largest one it read, so a damaged line would silently cost the histories of every stock after
// it. A change or an analysis refuses instead, naming the file and the line.
#pragma once

#include <cstdint>
#include <string>
#include <functional>

#include "marketdb/wide_index.h"

namespace marketdb {

struct IndexCheck {
  bool ok = true;
  int line = 0;          // the line at fault (1-based); 0 when no single line is
  std::string message;   // CP932, naming pelinoru.idx and the line
};

// Checks the text of pelinoru.idx: every line that is not blank holds exactly the six fields of
// the index (two integers, a code, a name of at most 14 bytes, two integers), every record slot
// within 0..3018 and used once (so at most 3019 stocks), and a pelinoru.dat of
// `priceFileBytes` (-1: not checked) holding no block beyond the largest slot.
IndexCheck checkIndexText(const std::string& text, std::int64_t priceFileBytes);

// The same for the files of the working directory; a missing pelinoru.idx passes (its readers
// report it). A missing pelinoru.dat is not checked against.
IndexCheck checkIndexFile();

// The check of a wide database's pelwide.idx, which reads the whole index: each entry is
// handed to `onEntry` as its line is read (parseWideIndex), so that a reader need not read the
// file again; they are to be dropped unless the check passes. `found` tells whether the file
// could be opened.
IndexCheck checkWideIndexFile(const std::function<void(const WideIndexEntry&)>& onEntry,
                              bool& found);

}  // namespace marketdb
