// The show's music: an original piece in A minor at 150 BPM, 64 bars in eight channels
// (kick, snare, hats, bass, lead, arpeggio, pad, effects), laid out bar by bar along the
// scenes of the show (see Timeline.h).
#pragma once

#include "XmWriter.h"

XmModule composeMusic();
