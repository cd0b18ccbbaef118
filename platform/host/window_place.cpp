#include "platform/host/window_place.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::string environment(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

// mkdir -p; true when the folder exists afterwards.
bool makeFolders(const std::string& folder) {
  for (std::size_t pos = 1; pos <= folder.size(); ++pos) {
    if (pos != folder.size() && folder[pos] != '/') continue;
    const std::string part = folder.substr(0, pos);
    if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  struct stat st {};
  return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string windowPlaceFile(const std::string& program) {
  // A relative XDG_CONFIG_HOME is invalid and ignored, as the base-directory rules say.
  std::string base = environment("XDG_CONFIG_HOME");
  if (base.empty() || base[0] != '/') {
    const std::string home = environment("HOME");
    if (home.empty()) return {};
    base = home + "/.config";
  }
  return base + "/pelinor/" + program + ".window";
}

std::optional<WindowPlace> parseWindowPlace(const std::string& text, int maxSide) {
  std::istringstream in(text);
  long long v[4] = {};
  for (long long& n : v) {
    if (!(in >> n)) return std::nullopt;
  }
  std::string extra;
  if (in >> extra) return std::nullopt;
  constexpr long long Far = 1 << 20;
  if (v[0] < -Far || v[0] > Far || v[1] < -Far || v[1] > Far) return std::nullopt;
  if (v[2] < 1 || v[2] > maxSide || v[3] < 1 || v[3] > maxSide) return std::nullopt;
  return WindowPlace{static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]),
                     static_cast<int>(v[3])};
}

std::optional<WindowPlace> readWindowPlace(const std::string& file, int maxSide) {
  if (file.empty()) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text(256, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  return parseWindowPlace(text, maxSide);
}

bool writeWindowPlace(const std::string& file, const WindowPlace& place) {
  const std::size_t slash = file.find_last_of('/');
  if (file.empty() || slash == std::string::npos || !makeFolders(file.substr(0, slash)))
    return false;
  const std::string temp = file + ".tmp-" + std::to_string(static_cast<long>(::getpid()));
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << place.x << ' ' << place.y << ' ' << place.width << ' ' << place.height << '\n';
    out.close();
    if (!out) {
      ::unlink(temp.c_str());
      return false;
    }
  }
  if (std::rename(temp.c_str(), file.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}
