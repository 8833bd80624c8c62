#include "archive_window/archive_window.h"
