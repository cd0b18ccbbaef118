#include "platform/window/window.h"

#include <atomic>
#include <iostream>

#include "platform/text/cp932.h"

namespace {
std::atomic<int> bellCount{0};
}  // namespace

void Bell() {
  std::cout.put('\a');
  std::cout.flush();
  ++bellCount;
}

int BellCount() { return bellCount.load(); }

// Default handlers: a window class overrides the messages it cares about.
void TWindow::Paint(TDC&, bool, TRect&) {}
void TWindow::EvKeyDown(unsigned, unsigned, unsigned) {}
void TWindow::EvChar(unsigned, unsigned, unsigned) {}
void TWindow::EvLButtonDown(unsigned, const TPoint&) {}
void TWindow::EvLButtonDblClk(unsigned, const TPoint&) {}
void TWindow::EvSize(unsigned, const TSize&) {}
void TWindow::EvMouseMove(unsigned, const TPoint&) {}
void TWindow::EvMouseWheel(unsigned, int, const TPoint&) {}
void TWindow::EvLButtonUp(unsigned, const TPoint&) {}
void TWindow::EvMouseLeave() {}
void TWindow::PaintOverlay(TDC&) {}
bool TWindow::EvCommand(int) { return false; }

void TWindow::Invalidate(bool erase) {
  if (host_) host_->invalidate(erase);
}

void TWindow::InvalidateOverlay() {
  if (host_) host_->invalidateOverlay();
}

void TWindow::SetTitleDetail(std::string_view cp932) {
  if (host_) host_->setTitleDetail(cp932);
}

TRect TWindow::GetClientRect() const {
  if (!host_) return {};
  TSize size = host_->clientSize();
  return {0, 0, size.cx, size.cy};
}

void TWindow::CloseWindow(int retVal) {
  if (host_) host_->closeRequest(*this, retVal);
}

void TWindow::ReportWriteFailure() {
  if (host_) host_->writeFailed();
}

int TWindow::MessageBox(std::string_view textCp932, std::string_view captionCp932,
                        unsigned type) {
  if (host_) return host_->messageBox(textCp932, captionCp932, type);
  // A window that is not shown yet (for example one still being constructed) has nowhere to
  // put a message box; the message still reaches the user on the error stream.
  std::cerr << '[' << pelinor::text::toUtf8(captionCp932) << "] "
            << pelinor::text::toUtf8(textCp932) << '\n';
  return IDOK;
}

void TWindow::SetCursor(Cursor cursor) {
  if (host_) host_->setCursor(cursor);
}

namespace {
template <typename T>
const T* findResource(const std::map<int, T>& table, int id) {
  auto it = table.find(id);
  return it == table.end() ? nullptr : &it->second;
}
}  // namespace

SDIDecFrame::SDIDecFrame(std::string captionCp932, std::unique_ptr<TWindow> client,
                         const ResourceSet& resources)
    : caption_(std::move(captionCp932)), client_(std::move(client)), resources_(resources) {}

void SDIDecFrame::SetIcon(int resourceId) { icon_ = findResource(resources_.icons, resourceId); }

void SDIDecFrame::AssignMenu(int resourceId) {
  menu_ = findResource(resources_.menus, resourceId);
}

void SDIDecFrame::SetAcceleratorTable(int resourceId) {
  accelerators_ = findResource(resources_.accelerators, resourceId);
}

void SDIDecFrame::DestroyClient() {
  if (!client_) return;
  client_->CleanupWindow();
  client_.reset();
}

int TApplication::Run(Host& host) {
  InitMainWindow();
  if (!frame_) {
    std::cerr << pelinor::text::toUtf8(name_) << ": no main window was created\n";
    return 1;
  }
  return host.run(*frame_);
}
