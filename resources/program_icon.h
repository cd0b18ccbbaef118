// The 32 x 32 program icon shared by both programs: candlesticks climbing on a dark square.
#pragma once

#include "platform/window/resources.h"

Icon programIcon();
