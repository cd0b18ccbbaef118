// Resources of the chart viewer: menu 100, accelerator table 100 and icon 1001.
#pragma once

#include <string>

#include "platform/window/resources.h"

const ResourceSet& pelinorwResources();
// The product title, which is also the frame caption (CP932).
const std::string& pelinorwTitle();
