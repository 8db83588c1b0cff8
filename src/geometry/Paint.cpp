// Out-of-line parts of the paint interface: the virtual destructor and the reserved hook.
// A paint's transforms start as the identity; the rasterizer overwrites deviceToPaint.
#include "geometry/Paint.h"

Paint::~Paint() = default;

void Paint::reserved() {}
