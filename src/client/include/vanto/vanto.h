// libvanto: the control system's client library.
#pragma once

#include "vanto/codec.h"
#include "vanto/eqadr.h"
#include "vanto/eqcall.h"
#include "vanto/eqdata.h"
#include "vanto/errors.h"
#include "vanto/timestamp.h"
#include "vanto/types.h"
