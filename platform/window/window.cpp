#include "platform/window/window.h"

void Bell() {}
int BellCount() { return 0; }

void TWindow::Paint(TDC&, bool, TRect&) {}
void TWindow::EvKeyDown(unsigned, unsigned, unsigned) {}
void TWindow::EvChar(unsigned, unsigned, unsigned) {}
void TWindow::EvLButtonDown(unsigned, const TPoint&) {}
void TWindow::EvLButtonDblClk(unsigned, const TPoint&) {}
void TWindow::EvSize(unsigned, const TSize&) {}
bool TWindow::EvCommand(int) { return false; }
void TWindow::Invalidate(bool) {}
TRect TWindow::GetClientRect() const { return {}; }
void TWindow::CloseWindow(int) {}
int TWindow::MessageBox(std::string_view, std::string_view, unsigned) { return IDOK; }
void TWindow::SetCursor(Cursor) {}

SDIDecFrame::SDIDecFrame(std::string captionCp932, std::unique_ptr<TWindow> client,
                         const ResourceSet& resources)
    : caption_(std::move(captionCp932)), client_(std::move(client)), resources_(resources) {}
void SDIDecFrame::SetIcon(int) {}
void SDIDecFrame::AssignMenu(int) {}
void SDIDecFrame::SetAcceleratorTable(int) {}
void SDIDecFrame::DestroyClient() {}

int TApplication::Run(Host&) { return 0; }
