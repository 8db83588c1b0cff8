// A short looping tune made with the XM writer: two instruments (an 8-bit square and a
// 16-bit sine), both looping, with envelopes. The tests and the end-to-end runs play it.
#pragma once

#include "XmWriter.h"

XmModule makeTestTune();
