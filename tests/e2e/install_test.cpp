// `cmake --install` into a temporary prefix: the programs, the desktop entries, the icons and the
// manual pages where the desktop and man look for them, and the installed programs working.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/text/cp932.h"
#include "resources/pelinorw_resources.h"
#include "resources/pelinorx_resources.h"
#include "resources/program_icon.h"
#include "tests/e2e/e2e_support.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::readFile;

struct Output {
  int status = -1;
  std::string text;  // standard output and standard error
};

Output shell(const std::string& command) {
  Output o;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return o;
  char buffer[512];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) o.text.append(buffer, n);
  const int status = pclose(pipe);
  o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return o;
}

// The key=value lines of a desktop entry's main group.
std::map<std::string, std::string> desktopKeys(const std::string& text) {
  std::map<std::string, std::string> keys;
  for (const std::string& line : e2e::splitLines(text)) {
    const std::size_t eq = line.find('=');
    if (eq != std::string::npos && line[0] != '#') keys[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return keys;
}

// Reads a PNG as RGBA rows; false when it is not a readable PNG.
bool readRgba(const fs::path& path, int& width, int& height, std::vector<unsigned char>& rgba) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGBA;
  rgba.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) return false;
  width = static_cast<int>(image.width);
  height = static_cast<int>(image.height);
  return true;
}

// The option and command words of a program's --help text.
std::set<std::string> helpWords(const std::string& help) {
  std::set<std::string> words;
  std::istringstream in(help);
  std::string w;
  while (in >> w) {
    while (!w.empty() && (w.back() == ',' || w.back() == ')' || w.back() == ']')) w.pop_back();
    if (!w.empty() && w[0] == '[') w.erase(0, 1);
    if (w.rfind("--", 0) == 0 || w == "-C" || w == "init" || w == "store" || w == "analyze" ||
        w == "import")
      words.insert(w.substr(0, w.find('=')));
  }
  return words;
}

class Installed : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    prefix_ = new fs::path(fs::temp_directory_path() /
                           ("pelinor-install-" + std::to_string(::getpid())));
    fs::remove_all(*prefix_);
    install_ = new Output(shell(std::string("'") + PELINOR_CMAKE_COMMAND + "' --install '" +
                                testsupport::binaryDir().string() + "' --prefix '" +
                                prefix_->string() + "'"));
  }
  static void TearDownTestSuite() {
    fs::remove_all(*prefix_);
    delete prefix_;
    delete install_;
  }
  static fs::path* prefix_;
  static Output* install_;
};
fs::path* Installed::prefix_ = nullptr;
Output* Installed::install_ = nullptr;

TEST_F(Installed, ProgramsRunFromBinWithAFolderOption) {
  ASSERT_EQ(install_->status, 0) << install_->text;
  for (const char* program : {"pelinorx", "pelinorw", "pelinor-sample"}) {
    const fs::path p = *prefix_ / "bin" / program;
    ASSERT_TRUE(fs::is_regular_file(p)) << p;
    EXPECT_NE(fs::status(p).permissions() & fs::perms::owner_exec, fs::perms::none) << p;
  }
  testsupport::TempWorkDir dir;
  fs::create_directory("db");
  const std::string bin = (*prefix_ / "bin").string() + "/";
  EXPECT_EQ(shell(bin + "pelinor-sample --out daily --kind W --stocks 5 --days 3").status, 0);
  EXPECT_EQ(shell(bin + "pelinorx -C db init W").status, 0);
  EXPECT_TRUE(fs::exists("db/pelinoru.sys"));
  std::vector<std::string> days;
  for (const auto& e : fs::directory_iterator("daily")) days.push_back("../" + e.path().string());
  std::sort(days.begin(), days.end());
  std::string list;
  for (const auto& d : days) list += " " + d;
  const Output store = shell(bin + "pelinorx -C db store" + list);
  EXPECT_EQ(store.status, 0) << store.text;
  const Output version = shell(bin + "pelinorw --version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.text.find("pelinorw (株価分析ペリノ ﾁｬｰﾄ) v3.02\nbuild "), 0u) << version.text;
}

TEST_F(Installed, DesktopEntriesAreValidAndStartTheProgramsOnTheDataHome) {
  ASSERT_EQ(install_->status, 0) << install_->text;
  const std::map<std::string, std::string> titles = {
      {"pelinorx", pelinor::text::toUtf8(pelinorxTitle())},
      {"pelinorw", pelinor::text::toUtf8(pelinorwTitle())}};
  for (const auto& [program, title] : titles) {
    SCOPED_TRACE(program);
    const fs::path entry = *prefix_ / "share/applications" / (program + ".desktop");
    ASSERT_TRUE(fs::exists(entry));
    const Output check = shell("desktop-file-validate '" + entry.string() + "'");
    EXPECT_EQ(check.status, 0) << check.text << " (desktop-file-validate comes with the package"
                                                " desktop-file-utils)";
    EXPECT_EQ(check.text, "");
    auto keys = desktopKeys(readFile(entry));
    EXPECT_EQ(keys["Type"], "Application");
    EXPECT_EQ(keys["Exec"], program + " --data-home");
    EXPECT_TRUE(fs::exists(*prefix_ / "bin" / keys["TryExec"]));
    EXPECT_EQ(keys["Categories"], "Office;Finance;");
    EXPECT_FALSE(keys["Name"].empty());
    // The Japanese name is the window's title without its version.
    EXPECT_EQ(keys["Name[ja]"] + " v3.02", title);
    for (const char* size : {"32x32", "128x128"})
      EXPECT_TRUE(fs::exists(*prefix_ / "share/icons/hicolor" / size / "apps" /
                             (keys["Icon"] + ".png")))
          << size;
  }
}

TEST_F(Installed, IconsAreTheProgramIconAtEachSize) {
  ASSERT_EQ(install_->status, 0) << install_->text;
  const Icon icon = programIcon();
  for (const int side : {32, 128}) {
    SCOPED_TRACE(side);
    const std::string size = std::to_string(side) + "x" + std::to_string(side);
    int width = 0, height = 0;
    std::vector<unsigned char> rgba;
    ASSERT_TRUE(readRgba(*prefix_ / "share/icons/hicolor" / size / "apps/pelinor.png", width,
                         height, rgba));
    ASSERT_EQ(width, side);
    ASSERT_EQ(height, side);
    const int scale = side / icon.width;
    int differing = 0;
    for (int y = 0; y < side; ++y) {
      for (int x = 0; x < side; ++x) {
        const std::uint32_t p = icon.rgba[static_cast<std::size_t>(y / scale * icon.width + x / scale)];
        const unsigned char* q = &rgba[static_cast<std::size_t>(y * side + x) * 4];
        const std::uint32_t got = static_cast<std::uint32_t>(q[3]) << 24 |
                                  static_cast<std::uint32_t>(q[0]) << 16 |
                                  static_cast<std::uint32_t>(q[1]) << 8 | q[2];
        // A fully transparent pixel's colour does not matter.
        if (got != p && !(q[3] == 0 && (p >> 24) == 0)) ++differing;
      }
    }
    EXPECT_EQ(differing, 0);
  }
}

TEST_F(Installed, ManualPagesDescribeEveryOptionOfTheHelp) {
  ASSERT_EQ(install_->status, 0) << install_->text;
  for (const char* program : {"pelinorx", "pelinorw"}) {
    SCOPED_TRACE(program);
    const fs::path page = *prefix_ / "share/man/man1" / (std::string(program) + ".1");
    std::string text = readFile(page);
    ASSERT_FALSE(text.empty());
    // troff writes a minus sign as \-.
    for (std::size_t at; (at = text.find("\\-")) != std::string::npos;) text.erase(at, 1);
    for (std::size_t at; (at = text.find("\\fB")) != std::string::npos;) text.erase(at, 3);
    for (std::size_t at; (at = text.find("\\fR")) != std::string::npos;) text.erase(at, 3);
    const Output help = shell((*prefix_ / "bin" / program).string() + " --help");
    ASSERT_EQ(help.status, 0);
    const std::set<std::string> words = helpWords(help.text);
    // The folder options, the script, size, version and help options, pelinorx's commands and
    // init's --wide.
    EXPECT_EQ(words.size(), program == std::string("pelinorx") ? 12u : 7u)
        << testing::PrintToString(words);
    for (const std::string& w : words) EXPECT_NE(text.find(w), std::string::npos) << w;
    EXPECT_EQ(text.find(".TH " + std::string(program == std::string("pelinorx") ? "PELINORX"
                                                                                 : "PELINORW")),
              0u);
  }
}

}  // namespace
