// TWindow without a host, the bell, the frame's resources and TApplication::Run.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include "platform/window/window.h"

namespace {

// Redirects a standard stream into a string for the lifetime of the object.
class Capture {
 public:
  explicit Capture(std::ostream& stream) : stream_(stream), old_(stream.rdbuf(buffer_.rdbuf())) {}
  ~Capture() { stream_.rdbuf(old_); }
  std::string text() const { return buffer_.str(); }

 private:
  std::ostream& stream_;
  std::ostringstream buffer_;
  std::streambuf* old_;
};

class Plain : public TWindow {};

TEST(Window, WithoutAHostServicesAreHarmless) {
  Plain w;
  TRect r = w.GetClientRect();
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.right, 0);
  EXPECT_EQ(r.bottom, 0);
  w.Invalidate();
  w.CloseWindow(5);
  w.SetCursor(Cursor::Wait);
  EXPECT_FALSE(w.EvCommand(1));
  Capture err(std::cerr);
  EXPECT_EQ(w.MessageBox("text", "caption"), IDOK);
  // The message is not lost: it reaches the error stream.
  EXPECT_EQ(err.text(), "[caption] text\n");
}

TEST(Window, BellWritesControlCharacter7AndCounts) {
  int before = BellCount();
  Capture out(std::cout);
  Bell();
  Bell();
  EXPECT_EQ(out.text(), "\a\a");
  EXPECT_EQ(BellCount(), before + 2);
}

struct Lifecycle {
  int cleanups = 0;
  bool destroyed = false;
};

class Tracked : public TWindow {
 public:
  explicit Tracked(Lifecycle& life) : life_(life) {}
  ~Tracked() override { life_.destroyed = true; }
  void CleanupWindow() override {
    EXPECT_FALSE(life_.destroyed);
    ++life_.cleanups;
  }

 private:
  Lifecycle& life_;
};

TEST(Frame, LooksUpResourcesByIdAndDestroysItsClient) {
  ResourceSet resources;
  resources.menus[100].items = {{1, "A"}, {2, "B"}};
  resources.accelerators[100].entries = {{'C', true, false, 500}};
  resources.icons[1001] = Icon{2, 1, {0xFF000000u, 0xFFFFFFFFu}};
  Lifecycle life;
  SDIDecFrame frame("Caption", std::make_unique<Tracked>(life), resources);
  EXPECT_EQ(frame.caption(), "Caption");
  EXPECT_EQ(frame.menu(), nullptr);

  frame.AssignMenu(100);
  frame.SetIcon(1001);
  frame.SetAcceleratorTable(100);
  ASSERT_NE(frame.menu(), nullptr);
  EXPECT_EQ(frame.menu()->items.size(), 2u);
  ASSERT_NE(frame.icon(), nullptr);
  EXPECT_EQ(frame.icon()->width, 2);
  ASSERT_NE(frame.accelerators(), nullptr);
  EXPECT_EQ(frame.accelerators()->entries[0].command, 500);

  frame.AssignMenu(101);  // a missing resource leaves the frame without one
  EXPECT_EQ(frame.menu(), nullptr);

  ASSERT_NE(frame.GetClientWindow(), nullptr);
  frame.DestroyClient();
  EXPECT_EQ(life.cleanups, 1);
  EXPECT_TRUE(life.destroyed);
  EXPECT_EQ(frame.GetClientWindow(), nullptr);
  frame.DestroyClient();  // nothing left to destroy
  EXPECT_EQ(life.cleanups, 1);
}

class RecordingHost : public Host {
 public:
  int run(SDIDecFrame& frame) override {
    caption = frame.caption();
    return 42;
  }
  std::string caption;
};

class App : public TApplication {
 public:
  explicit App(bool create) : TApplication("Name"), create_(create) {}
  void InitMainWindow() override {
    ++inits;
    if (create_) {
      static const ResourceSet none;
      SetMainWindow(std::make_unique<SDIDecFrame>(GetName(), std::make_unique<Plain>(), none));
    }
  }
  int inits = 0;

 private:
  bool create_;
};

TEST(Application, RunCreatesTheMainWindowAndReturnsTheHostStatus) {
  App app(true);
  RecordingHost host;
  EXPECT_EQ(app.Run(host), 42);
  EXPECT_EQ(app.inits, 1);
  EXPECT_EQ(host.caption, "Name");
}

TEST(Application, RunWithoutAMainWindowFails) {
  App app(false);
  RecordingHost host;
  Capture err(std::cerr);
  EXPECT_EQ(app.Run(host), 1);
  EXPECT_EQ(host.caption, "");  // the host never ran
  EXPECT_NE(err.text().find("no main window"), std::string::npos);
}

}  // namespace
