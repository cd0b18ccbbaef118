// The Debian package made by `cpack -G DEB` from this build: what it holds, that its Depends
// covers every library the programs need, and that its entries validate as installed. Runs
// where dpkg-deb is present; one test case, as making the package is the slow step.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

// Runs a shell command; its status and standard output (standard error joined when asked).
std::pair<int, std::string> shell(const std::string& command, bool joinErrors = false) {
  std::string text;
  FILE* pipe = popen((command + (joinErrors ? " 2>&1" : " 2>/dev/null")).c_str(), "r");
  if (!pipe) return {-1, text};
  char buffer[512];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
}

TEST(DebianPackage, HoldsTheProgramsDependsOnTheirLibrariesAndItsEntriesValidate) {
  if (shell("command -v dpkg-deb").first != 0) GTEST_SKIP() << "dpkg-deb is not installed";
  testsupport::TempWorkDir dir;
  const auto [status, log] =
      shell("cd '" + testsupport::binaryDir().string() + "' && '" + PELINOR_CPACK_COMMAND +
                "' -G DEB -B '" + dir.path().string() + "'",
            true);
  ASSERT_EQ(status, 0) << log;
  std::string deb;
  for (const auto& e : fs::directory_iterator(dir.path()))
    if (e.path().extension() == ".deb") deb = e.path().filename().string();
  ASSERT_EQ(deb.rfind("pelinor_", 0), 0u) << log;
  ASSERT_EQ(shell("dpkg-deb -x " + deb + " root").first, 0);

  // The files, and nothing of the build besides.
  std::set<std::string> files;
  for (const auto& e : fs::recursive_directory_iterator("root"))
    if (!e.is_directory()) files.insert(fs::relative(e.path(), "root").string());
  const std::string metainfo = "usr/share/metainfo/org.pelinor.pelinor.metainfo.xml";
  EXPECT_EQ(
      files,
      (std::set<std::string>{
          "usr/bin/pelinorx", "usr/bin/pelinorw", "usr/bin/pelinor-sample",
          "usr/share/applications/pelinorx.desktop", "usr/share/applications/pelinorw.desktop",
          "usr/share/icons/hicolor/32x32/apps/pelinor.png",
          "usr/share/icons/hicolor/128x128/apps/pelinor.png", "usr/share/man/man1/pelinorx.1.gz",
          "usr/share/man/man1/pelinorw.1.gz", "usr/share/man/man1/pelinor-sample.1.gz", metainfo,
          "usr/share/doc/pelinor/copyright", "usr/share/doc/pelinor/changelog.gz"}));
  EXPECT_EQ(shell("gzip -dc root/usr/share/man/man1/pelinorw.1.gz").second.rfind(".TH PELINORW", 0),
            0u);

  // Depends names the package of every library a program names, found in this machine's own
  // architecture's folder, and of SDL, which the viewer opens by its file name.
  const std::string depends = shell("dpkg-deb -f " + deb + " Depends").second;
  std::set<std::string> names;
  std::istringstream fields(depends);
  for (std::string word; fields >> word;)
    if (word[0] != '(' && word.find(')') == std::string::npos && word != "|")
      names.insert(word.substr(0, word.find(',')));
  std::set<std::string> libraries = {"libSDL2-2.0.so.0"};
  for (const char* program : {"pelinorx", "pelinorw", "pelinor-sample"}) {
    std::istringstream dynamic(shell(std::string("objdump -p root/usr/bin/") + program).second);
    for (std::string word, library; dynamic >> word;)
      if (word == "NEEDED" && dynamic >> library) libraries.insert(library);
  }
  EXPECT_TRUE(libraries.count("libc.so.6"));
  std::string multiarch = shell("dpkg-architecture -qDEB_HOST_MULTIARCH").second;
  multiarch = multiarch.substr(0, multiarch.find('\n'));
  for (const std::string& library : libraries) {
    const std::string owner = shell("dpkg-query -S '*/" + multiarch + "/" + library + "'").second;
    ASSERT_FALSE(owner.empty()) << library;
    EXPECT_TRUE(names.count(owner.substr(0, owner.find_first_of(":,"))))
        << library << " in " << depends;
  }
  EXPECT_TRUE(names.count("fonts-ipafont-gothic")) << depends;
  EXPECT_NE(depends.find("libsdl2-2.0-0 (>= 2."), std::string::npos) << depends;
  std::istringstream description(shell("dpkg-deb -f " + deb + " Description").second);
  int lines = 0;
  for (std::string line; std::getline(description, line);) ++lines;
  EXPECT_GT(lines, 3) << "a short and a long description";
  EXPECT_NE(shell("dpkg-deb -f " + deb + " Maintainer").second, "");

  // The entries validate, and the metainfo launches the installed ones.
  const std::string xml = testsupport::readFile("root/" + metainfo);
  for (const std::string program : {"pelinorx", "pelinorw"}) {
    const auto check =
        shell("desktop-file-validate root/usr/share/applications/" + program + ".desktop", true);
    EXPECT_EQ(check, std::make_pair(0, std::string())) << program;
    EXPECT_NE(xml.find("<launchable type=\"desktop-id\">" + program + ".desktop<"),
              std::string::npos);
  }
  if (shell("command -v appstreamcli").first == 0) {
    const auto check = shell("appstreamcli validate --no-net root/" + metainfo, true);
    EXPECT_EQ(check.first, 0) << check.second;
  }
}

}  // namespace
