// The store prompt on the screen: key entry, echo, the letter check, and the store's lines
// drawn with an opaque background.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <thread>

#include "dbprogram/batch.h"
#include "tests/dbprogram/shell_window.h"
#include "tests/dbprogram/store_fixture.h"
#include "tests/support/test_support.h"

namespace shelltest {
namespace {

using storetest::dailyLine;
using storetest::Snapshot;

const char* Grey = "C0C0C0";
const char* Yellow = "FFFF00";
const char* RedHex = "FF0000";

const std::string Title = "［ペリノＣ++］形式の日々株価データを格納処理をします";
const std::string Ask = "今回格納処理する日々株価ﾌｧｲﾙ名(W(N)yymmdd)Eを入力してください→";
const std::string OtherMarket = "他市場の日々株価データを格納しようとした、ＷＮを確認！もう一度";

// An empty database, made before the window opens on it.
struct EmptyDatabase {
  EmptyDatabase() {
    std::ostringstream out, err;
    EXPECT_EQ(dbprogram::batchInit({"W"}, out, err), 0);
  }
};

class StorePromptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::writeFile(
        "W991230", dailyLine("AAAAAAAAAAAAAA", "100", "110", "90", "105", "5", "10", "991230",
                             "801", "72030"));
  }
  bool promptShown() const {
    return window.drewText(0, 16, Grey, Title) && window.drewText(0, 80, Grey, Ask);
  }
  testsupport::TempWorkDir dir;
  EmptyDatabase database;
  ShellWindow window;
};

TEST_F(StorePromptTest, OpeningShowsTheStoreStateAndAnEmptyLine) {
  storetest::setStoreState(991229, 17);
  window.driver().menu(dbprogram::IdKakuno);
  EXPECT_TRUE(promptShown());
  EXPECT_TRUE(window.drewText(0, 48, Grey, "前回格納日付は991229で格納位置は  17でした"));
  EXPECT_EQ(window.textsAt(454, 80), 0);
  EXPECT_EQ(window.chart().entryScreen, 10);
  EXPECT_EQ(window.chart().entryLength, 0);
  EXPECT_EQ(window.ops()[0], "fill 0 0 640 480 000000");
  // A fresh database shows the date 0 as six zeros.
  storetest::setStoreState(0, 0);
  window.driver().key(VK_F1);
  EXPECT_TRUE(window.drewText(0, 48, Grey, "前回格納日付は000000で格納位置は   0でした"));
}

TEST_F(StorePromptTest, TypedKeysAreEchoedAndEStoresTheFile) {
  window.driver().menu(dbprogram::IdKakuno);
  window.type("W991230");
  EXPECT_TRUE(window.drewText(454, 80, Yellow, "W991230"));
  const Snapshot before = Snapshot::take();
  window.type("E");
  EXPECT_NE(Snapshot::take().sys, before.sys);
  EXPECT_EQ(storetest::sysLine1(), "   0 991230    0   1");
  // Progress, code and completion lines with black cells behind them.
  const int progress = window.indexOf(ShellWindow::text(0, 112, Grey, "格納中991230位置  1"));
  ASSERT_GT(progress, 0);
  EXPECT_EQ(window.ops()[progress - 1].rfind("fill 0 112 ", 0), 0u);
  EXPECT_EQ(window.ops()[progress - 1].substr(window.ops()[progress - 1].size() - 6), "000000");
  EXPECT_TRUE(window.drewText(0, 144, RedHex, "  7203"));
  const int done = window.indexOf(ShellWindow::text(
      0, 144, "FFFFFF",
      "正常に格納処理終了しました。時々pelinoru.(sys idx dat win)をﾊﾞｯｸｱｯﾌﾟしましょう"));
  ASSERT_GT(done, progress);
  EXPECT_EQ(window.ops()[done - 1].rfind("fill 0 144 ", 0), 0u);
  EXPECT_EQ(window.chart().entryScreen, 0);
  // The prompt is closed: a repaint shows an empty window and stores nothing again.
  const Snapshot after = Snapshot::take();
  window.driver().paint();
  EXPECT_EQ(window.ops().size(), 1u);
  EXPECT_TRUE(Snapshot::take() == after);
}

TEST_F(StorePromptTest, ANinthKeyEmptiesTheLineAndEThenStoresNothing) {
  window.driver().menu(dbprogram::IdKakuno);
  window.type("W9912301");
  EXPECT_TRUE(window.drewText(454, 80, Yellow, "W9912301"));
  window.type("2");
  EXPECT_EQ(window.textsAt(454, 80), 0);
  EXPECT_EQ(window.chart().entryLength, 0);
  // Eight characters again, then E: the line is emptied instead of confirmed.
  window.type("W9912301");
  const Snapshot before = Snapshot::take();
  const int bells = BellCount();
  window.type("E");
  EXPECT_EQ(window.textsAt(454, 80), 0);
  EXPECT_EQ(window.textsAt(0, 112), 0);
  EXPECT_EQ(BellCount(), bells);
  EXPECT_TRUE(promptShown());
  EXPECT_TRUE(Snapshot::take() == before);
}

TEST_F(StorePromptTest, CBlanksTheEchoArea) {
  window.driver().menu(dbprogram::IdKakuno);
  window.type("W99");
  window.type("C");
  EXPECT_TRUE(window.drew("fill 424 79 640 96 000000"));
  EXPECT_EQ(window.textsAt(454, 80), 0);
  window.type("W991230E");
  EXPECT_EQ(storetest::sysLine1(), "   0 991230    0   1");
}

TEST_F(StorePromptTest, TheOtherMarketLetterIsRefusedWithTheBell) {
  testsupport::writeFile("N991230", testsupport::readFile("W991230"));
  window.driver().menu(dbprogram::IdKakuno);
  const Snapshot before = Snapshot::take();
  int bells = BellCount();
  window.type("N991230E");
  EXPECT_TRUE(window.drewText(0, 112, RedHex, OtherMarket));
  EXPECT_EQ(BellCount(), bells + 1);
  EXPECT_TRUE(promptShown());
  EXPECT_EQ(window.chart().entryLength, 0);
  EXPECT_TRUE(Snapshot::take() == before);
  // The command is still E: a repaint repeats the refusal and the bell.
  window.driver().paint();
  EXPECT_TRUE(window.drewText(0, 112, RedHex, OtherMarket));
  EXPECT_EQ(BellCount(), bells + 2);
  // A second attempt with the right letter stores.
  window.type("W991230E");
  EXPECT_EQ(storetest::sysLine1(), "   0 991230    0   1");
}

TEST_F(StorePromptTest, AMissingDailyFileIsARedLine) {
  window.driver().menu(dbprogram::IdKakuno);
  const int bells = BellCount();
  window.type("W991231E");
  EXPECT_TRUE(window.drewText(
      0, 112, RedHex,
      "目的のW991231ﾌｧｲﾙが" + std::filesystem::current_path().string() + "にありません"));
  EXPECT_EQ(BellCount(), bells + 1);
}

TEST_F(StorePromptTest, ResizingAfterOpeningReopensWithAnEmptyLine) {
  window.driver().menu(dbprogram::IdKakuno);
  window.driver().size(800, 600);
  EXPECT_TRUE(promptShown());
  EXPECT_EQ(window.textsAt(454, 80), 0);
  EXPECT_EQ(window.chart().entryLength, 0);
}

TEST_F(StorePromptTest, EveryRepaintAppliesTheLastKeyAgain) {
  window.driver().menu(dbprogram::IdKakuno);
  window.type("W9");
  window.driver().paint();
  EXPECT_TRUE(window.drewText(454, 80, Yellow, "W99"));
}

TEST_F(StorePromptTest, TheTidyUpCommandLeavesThePromptDrawn) {
  window.driver().menu(dbprogram::IdKakuno);
  window.type("W99");
  for (int id : {dbprogram::IdDbseiri, dbprogram::IdJokenserch, dbprogram::IdYobi,
                 dbprogram::IdY}) {
    window.driver().menu(id);
    EXPECT_TRUE(promptShown()) << id;
    EXPECT_TRUE(window.drewText(454, 80, Yellow, "W99")) << id;
  }
}

TEST_F(StorePromptTest, AMissingSettingsFileClosesTheWindow) {
  std::filesystem::remove("pelinoru.win");
  window.driver().menu(dbprogram::IdKakuno);
  EXPECT_TRUE(window.driver().closed());
  EXPECT_EQ(window.driver().closeResult(), 0);
  ASSERT_EQ(window.driver().messageBoxes().size(), 1u);
  EXPECT_NE(window.driver().messageBoxes()[0].find("pelinoru.win が存在しません"),
            std::string::npos);
  EXPECT_FALSE(promptShown());
}

TEST_F(StorePromptTest, AStoreThatCannotReadTheIndexShowsTheMessageBox) {
  window.driver().menu(dbprogram::IdKakuno);
  std::filesystem::remove("pelinoru.idx");
  window.type("W991230E");
  EXPECT_TRUE(window.driver().closed());
  ASSERT_EQ(window.driver().messageBoxes().size(), 1u);
  EXPECT_NE(window.driver().messageBoxes()[0].find("ﾌｧｲﾙ存在状況"), std::string::npos);
  EXPECT_NE(window.driver().messageBoxes()[0].find("pelinoru.idx が存在しません"),
            std::string::npos);
}

// A FIFO named like a daily file is refused at once, by the prompt and by the batch store. A
// store that waited on it would be fed a valid day by the helper below after a while, and
// would then store it: the refusal is what shows that nothing waited.
class FifoFeeder {
 public:
  explicit FifoFeeder(const std::string& name) : name_(name) {
    EXPECT_EQ(::mkfifo(name.c_str(), 0600), 0);
    thread_ = std::thread([this] {
      std::unique_lock<std::mutex> lock(mutex_);
      if (done_.wait_for(lock, std::chrono::seconds(2), [this] { return finished_; })) return;
      lock.unlock();
      // A reader is waiting on the FIFO: give it one valid line.
      int fd = ::open(name_.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd < 0) return;
      const std::string day = dailyLine("AAAAAAAAAAAAAA", "100", "110", "90", "106", "6", "10",
                                        "991231", "801", "72030");
      (void)!::write(fd, day.data(), day.size());
      ::close(fd);
    });
  }
  ~FifoFeeder() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      finished_ = true;
    }
    done_.notify_all();
    thread_.join();
  }

 private:
  std::string name_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable done_;
  bool finished_ = false;
};

TEST_F(StorePromptTest, AFifoIsNoDailyFileForThePromptOrTheBatch) {
  const std::string missing = "W991231 はFIFOで、日々株価ﾌｧｲﾙではないので格納処理しません";
  const Snapshot before = Snapshot::take();
  {
    FifoFeeder feeder("W991231");
    window.driver().menu(dbprogram::IdKakuno);
    window.type("W991231E");
  }
  EXPECT_TRUE(window.drewText(0, 112, RedHex, missing));
  EXPECT_TRUE(Snapshot::take() == before) << "the prompt stored from a FIFO";

  std::filesystem::remove("W991231");
  std::ostringstream out, err;
  {
    FifoFeeder feeder("W991231");
    EXPECT_EQ(dbprogram::batchStore({"W991231"}, out, err), 1);
  }
  EXPECT_NE(out.str().find(missing), std::string::npos) << out.str();
  EXPECT_TRUE(Snapshot::take() == before) << "the batch store stored from a FIFO";
}

}  // namespace
}  // namespace shelltest
