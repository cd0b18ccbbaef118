// The Debian package made by `cpack -G DEB` from this build: what it holds, that its Depends
// covers every library the programs need, and that its desktop entries and AppStream metadata
// validate as installed. Runs where dpkg-deb is present.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "tests/e2e/e2e_support.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

struct Output {
  int status = -1;
  std::string text;  // standard output; standard error too when asked
};

Output shell(const std::string& command, bool joinErrors = true) {
  Output o;
  FILE* pipe = popen((command + (joinErrors ? " 2>&1" : " 2>/dev/null")).c_str(), "r");
  if (!pipe) return o;
  char buffer[512];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) o.text.append(buffer, n);
  const int status = pclose(pipe);
  o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return o;
}

bool haveTool(const std::string& name) { return shell("command -v " + name).status == 0; }

// The package names of a Depends field, alternatives included, without their versions.
std::set<std::string> dependsNames(const std::string& field) {
  std::set<std::string> names;
  std::string name;
  bool inVersion = false;
  for (const char c : field + ",") {
    if (c == '(') inVersion = true;
    if (c == ')') inVersion = false;
    if (inVersion || c == ')') continue;
    if (c == ',' || c == '|' || c == ' ' || c == '\n') {
      if (!name.empty()) names.insert(name);
      name.clear();
    } else {
      name += c;
    }
  }
  return names;
}

// One test case with three parts: ctest runs each case in a process of its own, and making the
// package is the slow step.
class DebianPackage : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!haveTool("dpkg-deb")) return;
    out_ = new fs::path(fs::temp_directory_path() / ("pelinor-deb-" + std::to_string(::getpid())));
    fs::remove_all(*out_);
    fs::create_directories(*out_);
    make_ = new Output(shell("cd '" + testsupport::binaryDir().string() + "' && '" +
                             PELINOR_CPACK_COMMAND + "' -G DEB -B '" + out_->string() + "'"));
    for (const auto& e : fs::directory_iterator(*out_))
      if (e.path().extension() == ".deb") deb_ = e.path().string();
    if (!deb_.empty()) shell("dpkg-deb -x '" + deb_ + "' '" + (*out_ / "root").string() + "'");
  }
  static void TearDownTestSuite() {
    if (out_) fs::remove_all(*out_);
    delete out_;
    delete make_;
    out_ = nullptr;
    make_ = nullptr;
  }
  void SetUp() override {
    if (!make_) GTEST_SKIP() << "dpkg-deb is not installed";
    ASSERT_EQ(make_->status, 0) << make_->text;
    ASSERT_FALSE(deb_.empty()) << make_->text;
  }
  static fs::path root() { return *out_ / "root"; }

  static fs::path* out_;
  static Output* make_;
  static std::string deb_;
};
fs::path* DebianPackage::out_ = nullptr;
Output* DebianPackage::make_ = nullptr;
std::string DebianPackage::deb_;

void checkFileList(const fs::path& root, const std::string& deb) {
  EXPECT_EQ(fs::path(deb).filename().string().rfind("pelinor_", 0), 0u) << deb;
  const std::set<std::string> expected = {
      "usr/bin/pelinorx",
      "usr/bin/pelinorw",
      "usr/bin/pelinor-sample",
      "usr/share/applications/pelinorx.desktop",
      "usr/share/applications/pelinorw.desktop",
      "usr/share/icons/hicolor/32x32/apps/pelinor.png",
      "usr/share/icons/hicolor/128x128/apps/pelinor.png",
      "usr/share/man/man1/pelinorx.1.gz",
      "usr/share/man/man1/pelinorw.1.gz",
      "usr/share/man/man1/pelinor-sample.1.gz",
      "usr/share/metainfo/org.pelinor.pelinor.metainfo.xml",
      "usr/share/doc/pelinor/copyright",
      "usr/share/doc/pelinor/changelog.gz",
  };
  std::set<std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (!e.is_directory()) files.insert(fs::relative(e.path(), root).string());
  EXPECT_EQ(files, expected);
  for (const char* program : {"pelinorx", "pelinorw", "pelinor-sample"})
    EXPECT_NE(fs::status(root / "usr/bin" / program).permissions() & fs::perms::others_exec,
              fs::perms::none)
        << program;
  // Manual pages are readable after decompression.
  const Output page = shell("gzip -dc '" + (root / "usr/share/man/man1/pelinorw.1.gz").string() + "'");
  EXPECT_EQ(page.text.rfind(".TH PELINORW", 0), 0u);
}

void checkDepends(const fs::path& root, const std::string& deb) {
  const Output depends = shell("dpkg-deb -f '" + deb + "' Depends", false);
  ASSERT_EQ(depends.status, 0);
  const std::set<std::string> names = dependsNames(depends.text);
  // Every shared library the programs name, by the package that holds it here.
  std::set<std::string> needed;
  for (const char* program : {"pelinorx", "pelinorw", "pelinor-sample"}) {
    const Output dynamic =
        shell("objdump -p '" + (root / "usr/bin" / program).string() + "'", false);
    ASSERT_EQ(dynamic.status, 0) << program;
    std::istringstream lines(dynamic.text);
    std::string word, library;
    while (lines >> word)
      if (word == "NEEDED" && lines >> library) needed.insert(library);
  }
  ASSERT_TRUE(needed.count("libc.so.6"));
  // The viewer opens SDL by its file name when a window opens; no program names it.
  needed.insert("libSDL2-2.0.so.0");
  // The library as the loader finds it, in this machine's own architecture's folder.
  std::string multiarch = shell("dpkg-architecture -qDEB_HOST_MULTIARCH", false).text;
  multiarch = multiarch.substr(0, multiarch.find('\n'));
  ASSERT_FALSE(multiarch.empty());
  for (const std::string& library : needed) {
    const Output owner = shell("dpkg-query -S '*/" + multiarch + "/" + library + "'", false);
    ASSERT_EQ(owner.status, 0) << library;
    const std::string package = owner.text.substr(0, owner.text.find_first_of(":,"));
    EXPECT_TRUE(names.count(package)) << library << " from " << package << " in: " << depends.text;
  }
  EXPECT_TRUE(names.count("fonts-ipafont-gothic")) << depends.text;
  // SDL with a version from its symbols: the viewer needs its functions.
  EXPECT_NE(depends.text.find("libsdl2-2.0-0 (>= 2."), std::string::npos) << depends.text;
  for (const char* field : {"Maintainer", "Description", "Section", "Homepage"})
    EXPECT_NE(shell("dpkg-deb -f '" + deb + "' " + field, false).text, "") << field;
  const Output description = shell("dpkg-deb -f '" + deb + "' Description", false);
  EXPECT_GT(e2e::splitLines(description.text).size(), 3u) << "a short and a long description";
}

void checkEntriesValidate(const fs::path& root) {
  for (const char* program : {"pelinorx", "pelinorw"}) {
    const fs::path entry = root / "usr/share/applications" / (std::string(program) + ".desktop");
    const Output check = shell("desktop-file-validate '" + entry.string() + "'");
    EXPECT_EQ(check.status, 0) << check.text;
    EXPECT_EQ(check.text, "") << program;
    // The metainfo's launchables are the entries that are installed.
    EXPECT_NE(testsupport::readFile(root / "usr/share/metainfo/org.pelinor.pelinor.metainfo.xml")
                  .find(std::string("<launchable type=\"desktop-id\">") + program + ".desktop<"),
              std::string::npos)
        << program;
  }
  if (!haveTool("appstreamcli")) return;  // validated where the tool is installed
  const Output check = shell("appstreamcli validate --no-net '" +
                             (root / "usr/share/metainfo/org.pelinor.pelinor.metainfo.xml").string() + "'");
  EXPECT_EQ(check.status, 0) << check.text;
}

TEST_F(DebianPackage, HoldsTheProgramsDependsOnTheirLibrariesAndItsEntriesValidate) {
  {
    SCOPED_TRACE("file list");
    checkFileList(root(), deb_);
  }
  {
    SCOPED_TRACE("Depends");
    checkDepends(root(), deb_);
  }
  {
    SCOPED_TRACE("installed entries");
    checkEntriesValidate(root());
  }
}

}  // namespace
