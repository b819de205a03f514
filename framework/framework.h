// The framework: the one header a plug-in includes.
#pragma once

#include "framework/base.h"
#include "framework/browsers.h"
#include "framework/categories.h"
#include "framework/cells.h"
#include "framework/collections.h"
#include "framework/data.h"
#include "framework/details.h"
#include "framework/entries.h"
#include "framework/incidents.h"
#include "framework/layout.h"
#include "framework/rawtext.h"
#include "framework/regions.h"
#include "framework/staff.h"
#include "vaz/vaz.h"
