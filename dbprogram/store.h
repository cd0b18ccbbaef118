// The daily store: reads one daily price file into the database files.
#pragma once

namespace dbprogram {
}  // namespace dbprogram
