// The number of files (descriptors, or handles on Windows) the test process holds, for
// checks that nothing is left open after bad input: support/TestSystem.h.
#pragma once

#include "support/TestSystem.h"
