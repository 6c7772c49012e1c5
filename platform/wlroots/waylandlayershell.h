#pragma once

// The layer shell's generated header, readable as C++: it names an argument
// "namespace", which is renamed while the header is read.
#include <wayland-client.h>

#define namespace layerNamespace
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace
