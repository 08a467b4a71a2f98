#include "engine/paths/path_rules.h"
