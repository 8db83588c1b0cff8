// The page's side of the browser platform, implemented in JavaScript (PageBridge.js, linked
// as an Emscripten library). Everything the show's browser drivers ask of the page goes
// through these few calls; the page calls back through the exported functions of WebMain.
#pragma once

#include <cstdint>

extern "C" {
// Puts width x height RGBA bytes (alpha 255) into the canvas.
void tilsenPagePresent(const uint8_t* rgba, int32_t width, int32_t height);
// The show has closed its display: the page shows its end.
void tilsenPageClose();
// A display error, as one line of text.
void tilsenPageError(const char* message);
// The song's play time in milliseconds as the listener hears it; never decreases.
uint32_t tilsenPagePlayTime();
void tilsenPageMusicStop();
// Volume 0..256 of the music's gain.
void tilsenPageMusicVolume(int32_t volume);
// The show has ended (its end, a quit key or a display error): no more steps are run.
void tilsenPageEnded();
// The page's clock in milliseconds (fractions included); only differences are used.
double tilsenPageNow();
// Hands the tab back to the page (its input, its painting) and returns when the page has
// run its waiting work. Only a step the page started as resumable may call it: the step's
// stack is saved and restored around the wait.
void tilsenPageYield();
}
