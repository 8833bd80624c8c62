#include "engine/kxzip.h"
#include "ui/progress_window.h"
