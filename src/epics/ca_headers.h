// The Channel Access client's headers, whose own code is not held to this
// project's warnings.
#pragma once

#pragma GCC system_header
#include <alarm.h>
#include <cadef.h>
#include <db_access.h>
#include <epicsTime.h>
