// A temporary working folder holding a new database's pelinoru.sys and pelinoru.win, made the
// working directory for as long as the object lives; each benchmark adds its stocks to it.
#pragma once

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include "marketdb/files.h"
#include "marketdb/settings.h"

namespace bench {

// The date of the newest day of every benchmark database: 10 May 2010 as yymmdd.
constexpr float NewestDate = 100510;

class DatabaseFolder {
 public:
  // The newest day is at ring slot `storePosition`.
  DatabaseFolder(const std::string& prefix, int storePosition)
      : previous_(std::filesystem::current_path()) {
    folder_ = std::filesystem::temp_directory_path() /
              (prefix + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(folder_);
    std::filesystem::current_path(folder_);
    marketdb::SystemFile sys;
    marketdb::SettingsFile win;
    marketdb::applyDefaults(sys, win);
    sys.storePosition = storePosition;
    sys.lastStoreDate = marketdb::dateKey(NewestDate);
    marketdb::writeSystemFile(sys);
    marketdb::writeSettingsFile(win);
  }
  ~DatabaseFolder() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
    std::filesystem::remove_all(folder_, ec);
  }
  DatabaseFolder(const DatabaseFolder&) = delete;
  DatabaseFolder& operator=(const DatabaseFolder&) = delete;

 private:
  std::filesystem::path previous_;
  std::filesystem::path folder_;
};

}  // namespace bench
