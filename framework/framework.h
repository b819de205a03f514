// The framework: the one header a plug-in includes.
#pragma once

#include "framework/base.h"
#include "framework/categories.h"
#include "framework/collections.h"
#include "framework/data.h"
#include "framework/entries.h"
#include "framework/incidents.h"
#include "framework/rawtext.h"
#include "framework/staff.h"
#include "vaz/vaz.h"
