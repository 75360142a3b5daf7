#include "support/message_script.h"
