#include "dbprogram/store.h"
