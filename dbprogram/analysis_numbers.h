// The analysis's conversions to int (truncation toward zero, limiting to the int range), shared
// with the viewer's indicators.
#pragma once

#include "marketdb/int_range.h"

namespace dbprogram {

using marketdb::clampToInt;
using marketdb::truncToInt;

}  // namespace dbprogram
