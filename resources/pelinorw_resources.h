// Menus, accelerator tables and the icon of pelinorw.
#pragma once

#include <string>

#include "platform/window/resources.h"

const ResourceSet& pelinorwResources();
// The product title (CP932).
const std::string& pelinorwTitle();
