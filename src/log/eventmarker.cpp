#include "log/eventmarker.h"
