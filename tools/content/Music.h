// The show's music: an original piece in A minor at 150 BPM, 64 bars in ten channels
// (kick, snare, hats, bass, lead, arpeggio, pad, effects, the pad's chorus voice and the
// lead's echo), laid out bar by bar along the scenes of the show (see Timeline.h).
#pragma once

#include "XmWriter.h"

XmModule composeMusic();
