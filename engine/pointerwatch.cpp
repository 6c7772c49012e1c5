#include "pointerwatch.h"

PointerWatch::~PointerWatch() = default;

void PointerWatch::follow(const Snapshot &) {}
