#include "prefix.h"
