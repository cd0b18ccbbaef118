#include "platform/host/headless_driver.h"

HeadlessDriver::HeadlessDriver(SDIDecFrame& frame, TSize clientSize, std::ostream& out)
    : frame_(frame), size_(clientSize), out_(out), raster_(clientSize.cx, clientSize.cy),
      recording_(clientSize.cx, clientSize.cy) {}
HeadlessDriver::~HeadlessDriver() = default;
void HeadlessDriver::start() {}
bool HeadlessDriver::menu(int) { return false; }
void HeadlessDriver::key(unsigned) {}
void HeadlessDriver::click(int, int) {}
void HeadlessDriver::dblclick(int, int) {}
void HeadlessDriver::size(int, int) {}
void HeadlessDriver::paint() {}
void HeadlessDriver::invalidate(bool) {}
void HeadlessDriver::closeRequest(TWindow&, int) {}
int HeadlessDriver::messageBox(std::string_view, std::string_view, unsigned) { return IDOK; }
void HeadlessDriver::paintIfInvalid() {}
