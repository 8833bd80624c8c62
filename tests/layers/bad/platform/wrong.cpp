#include "ui/message_dialog.h"
