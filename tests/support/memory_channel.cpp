#include "support/memory_channel.h"
