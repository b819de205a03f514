#include "framework/base.h"
