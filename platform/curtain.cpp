#include "curtain.h"

Curtain::~Curtain() = default;
