// The price file read block after block by a reader that visits every stock once (the analysis):
// one buffer for every block and the records decoded in one loop, instead of an allocation
// and a decoding call per record for each block. (A mapping of the whole file was measured
// slower: its page faults cost more than the reads, and it holds the file in memory.)
#pragma once

#include <cstddef>

#include "marketdb/files.h"
#include "marketdb/layout.h"

namespace marketdb {

class BlockReader {
 public:
  BlockReader();
  ~BlockReader();
  BlockReader(const BlockReader&) = delete;
  BlockReader& operator=(const BlockReader&) = delete;

  bool open();  // false when the price file is missing
  bool isOpen() const { return fd_ >= 0; }
  void close();

  // The same days and result as PriceFile::readHistory: days the file does not hold read as
  // empty days, and the result is false unless the whole block is in the file.
  bool readHistory(int slot, StockHistory& history);

  // The blocks of `count` record slots from `firstSlot` on into `out` (count x the layout's
  // blockBytes), each slot's records in ring order whatever the file's geometry; returns how
  // many bytes of blocks it gave (DatabaseLayout::readBlocks; 0 for a negative slot). Changes
  // nothing in the reader, so several threads may read through one reader at once.
  std::size_t readBlocks(int firstSlot, int count, unsigned char* out) const;

  // The records of `count` record slots from `firstSlot` on into `out` as the file places them
  // (DatabaseLayout::readRun), for a reader that decodes each slot in place. Changes nothing in
  // the reader either; a wide run may be read in parts of its rows.
  DatabaseLayout::RecordRun readRun(int firstSlot, int count, unsigned char* out,
                                    int firstRow = 0, int endRow = HistoryDays) const {
    return layout_->readRun(fd_, firstSlot, count, out, firstRow, endRow);
  }

  // The layout of the file read, which places the blocks and decodes their records.
  const DatabaseLayout& layout() const { return *layout_; }

 private:
  int fd_ = -1;
  const DatabaseLayout* layout_;
  unsigned char buffer_[HistoryDays * WideRecordBytes];  // one block of either kind
};

}  // namespace marketdb
