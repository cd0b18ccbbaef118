#include "marketdb/block_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>

#include "marketdb/bytes.h"
#include "marketdb/layout.h"

namespace marketdb {

BlockReader::BlockReader() : layout_(&openLayout()) {}

BlockReader::~BlockReader() { close(); }

bool BlockReader::open() {
  close();
  layout_ = &openLayout();
  fd_ = ::open(layout_->priceFile, O_RDONLY | O_CLOEXEC);
  return fd_ >= 0;
}

void BlockReader::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool BlockReader::readHistory(int slot, StockHistory& history) {
  const std::size_t got = readBlocks(slot, 1, buffer_);
  layout_->decodeRecords(buffer_, static_cast<int>(got / layout_->recordBytes), history);
  return got == static_cast<std::size_t>(layout_->blockBytes());
}

std::size_t BlockReader::readBlocks(int firstSlot, int count, unsigned char* out) const {
  return layout_->readBlocks(fd_, firstSlot, count, out);
}

}  // namespace marketdb
