// Menus, accelerator tables and the icon of pelinorx.
#pragma once

#include <string>

#include "platform/window/resources.h"

const ResourceSet& pelinorxResources();
// The product title (CP932).
const std::string& pelinorxTitle();
