// Finding the records a stock kept from the previous lap of the ring.
//
// A database stored before every stored day gave each missing stock an empty record still holds,
// in the slot of a day a stock missed, the day 640 store days older. Such a record is recognised
// by its slot: a slot's day is the date that most records with volume hold there (the most
// common date, so that one damaged record cannot make a whole slot look stale), and a record
// with volume whose date is older than its slot's day (in the 1946..2045 window) is a previous
// lap's record. When two dates are equally common, the newer one is the slot's day: it is the
// day the latest store wrote there.
#pragma once

#include <cstddef>
#include <vector>

#include "marketdb/layout.h"

namespace dbprogram {

struct StaleRecord {
  int stock = 0;     // index of the block among those given
  int position = 0;  // ring position 0..639
};

// `blocks` holds `stocks` history blocks of 11520 bytes each, one after the other. Returns the
// previous lap's records, ordered by stock, then position.
std::vector<StaleRecord> findStaleRecords(const unsigned char* blocks, std::size_t stocks);

// The same for the records of one ring position side by side (a ring row of a wide price file):
// `records` records of the layout's size from `row`; returns the indexes of the previous lap's
// records among them, in rising order.
std::vector<std::size_t> findStaleInRow(const unsigned char* row, std::size_t records,
                                        const marketdb::DatabaseLayout& layout);

}  // namespace dbprogram
