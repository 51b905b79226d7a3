// libtango's headers, included only by the module's own files. They are
// written for older compilers: deprecated library parts and unused
// parameters warn under our flags, so those warnings are turned off here and
// nowhere else.
#pragma once

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#include <tango.h>
#pragma GCC diagnostic pop

#include "vanto/eqdata.h"
