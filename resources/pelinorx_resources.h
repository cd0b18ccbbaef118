// Resources of the database program: menu 100, accelerator table 100 and icon 1001.
#pragma once

#include <string>

#include "platform/window/resources.h"

const ResourceSet& pelinorxResources();
// The product title shown as the frame caption (CP932).
const std::string& pelinorxTitle();
