// Finding the font file of the Japanese gothic through fontconfig.
#include <fontconfig/fontconfig.h>
#include <sys/stat.h>

#include <cstring>
#include <string>

#include "platform/gdi/raster_device.h"

namespace {

// File of the best match of the pattern, when accept() approves of the matched font.
template <typename Accept>
std::string matchFile(FcPattern* pattern, Accept accept) {
  std::string path;
  if (pattern == nullptr) return path;
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  if (match != nullptr) {
    FcChar8* file = nullptr;
    if (accept(match) && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
        file != nullptr)
      path = reinterpret_cast<const char*>(file);
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return path;
}

bool hasFamily(FcPattern* font, const char* family) {
  FcChar8* name = nullptr;
  for (int i = 0; FcPatternGetString(font, FC_FAMILY, i, &name) == FcResultMatch; ++i)
    if (std::strcmp(reinterpret_cast<const char*>(name), family) == 0) return true;
  return false;
}

bool supportsJapanese(FcPattern* font) {
  FcLangSet* langs = nullptr;
  if (FcPatternGetLangSet(font, FC_LANG, 0, &langs) != FcResultMatch || langs == nullptr)
    return false;
  return FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>("ja")) != FcLangDifferentLang;
}

}  // namespace

std::string gothicThroughFontconfig() {
  if (!FcInit()) return std::string();
  // The preferred gothic by name.
  std::string path = matchFile(FcNameParse(reinterpret_cast<const FcChar8*>("IPAGothic")),
                               [](FcPattern* f) { return hasFamily(f, "IPAGothic"); });
  if (!path.empty()) return path;
  // Any monospaced font that covers Japanese.
  path = matchFile(FcNameParse(reinterpret_cast<const FcChar8*>("monospace:lang=ja")),
                   supportsJapanese);
  if (!path.empty()) return path;
  // Whatever the system offers.
  return matchFile(FcPatternCreate(), [](FcPattern*) { return true; });
}

namespace {

std::string findGothic() {
  // Reading fontconfig's configuration takes about half of a start-up; the gothic it prefers
  // is the file of this Debian package, so that file is opened directly when it is there.
  static const char* const packaged = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf";
  struct stat st {};
  if (::stat(packaged, &st) == 0 && S_ISREG(st.st_mode)) return packaged;
  return gothicThroughFontconfig();
}

}  // namespace

// fontconfig loses a few hundred bytes once while reading its configuration files; in builds
// with the leak checker this keeps that library's own loss from hiding ours. The checker
// calls this hook at start-up; other builds never call it.
extern "C" __attribute__((used, visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

const std::string& gothicFontPath() {
  static const std::string path = findGothic();
  return path;
}
