// Tests hand the plug-in the same host object a host engine would.
#pragma once

#include "PathHost.h"

using TestHost = PathHost;
