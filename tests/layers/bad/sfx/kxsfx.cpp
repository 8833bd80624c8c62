#include "engine/kxzip.h"
#include <QString>
