// The framework: the one header a plug-in includes.
#pragma once

#include "framework/base.h"
#include "vaz/vaz.h"
