// The host binding layer: the one header the framework includes to reach the host.
#pragma once

#include "vaz/host_api.h"
#include "vaz/preferences.h"
#include "vaz/records.h"
