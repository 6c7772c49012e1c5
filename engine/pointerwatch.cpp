#include "pointerwatch.h"

PointerWatch::~PointerWatch() = default;
