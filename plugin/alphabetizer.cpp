#include "plugin/alphabetizer.h"

void Alphabetizer() {}
