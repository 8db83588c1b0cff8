// The show's clock as the content sees it: the script's scene timings (read from the
// show's own table), the music's tempo and the frame counts of the three movies, chosen
// together so that scene changes fall on bars.
//
// A scene lasts (sceneEnd + 1) ticks when no tick is missed; a movie scene's sceneEnd
// is the movie's frame count. The music runs at 150 BPM, speed 6: a tick of the module
// is 2500/150 = 16.67 ms, a row (a sixteenth note) 100 ms, a bar of 16 rows 1600 ms.
//
//   scene  what        tick   sceneEnd        length                 ends at   bar line  off
//   1      presents     66    144 (movie)     145 x 66  =  9570 ms    9570      6 =  9600   -30
//   2      pelu         16    300             301 x 16  =  4816 ms   14386      9 = 14400   -14
//   3      tavo01       40    479 (movie)     480 x 40  = 19200 ms   33586     21 = 33600   -14
//   4      main02      100    319 (movie)     320 x 100 = 32000 ms   65586     41 = 65600   -14
//   5      greets       16    300             301 x 16  =  4816 ms   70402     44 = 70400    +2
//   6      credits      16    600             601 x 16  =  9616 ms   80018     50 = 80000   +18
//   7      morvane      16    600             601 x 16  =  9616 ms   89634     56 = 89600   +34
//   8      fade         16    480             481 x 16  =  7696 ms   97330     (60.8 bars: the end)
//
// Every change lands within 34 ms of its bar line (a third of a row, half a frame of
// the first scene); picture scenes run 16 ms over their bars and the movie lengths were
// picked so the drift never adds up. The module lasts 64 bars = 102.4 s, longer than
// the show's 97.3 s, so the music is still playing (fading) when the show ends.
//
// Each movie holds exactly its header's frame count. Its scene makes one more render
// call than that, which reads past the end and draws black: every movie fades to black
// over its last frames, so that final black frame is the end of the fade.
#pragma once

#include <cstdint>

#include "driver/SceneTimings.h"

namespace timeline {
inline constexpr int32_t kTempo = 150;
inline constexpr int32_t kSpeed = 6;
inline constexpr int32_t kRowsPerBar = 16;
inline constexpr int32_t kBarMs = 1600;
inline constexpr int32_t kSongBars = 64;

inline constexpr int32_t kPresentsFrames = 144; // 66 ms frames
inline constexpr int32_t kTavoFrames = 479;     // 40 ms frames
inline constexpr int32_t kMainFrames = 319;     // 100 ms frames, one per row

inline constexpr int32_t kPresentsTickMs = static_cast<int32_t>(sceneTiming(1).tickMs);
inline constexpr int32_t kTavoTickMs = static_cast<int32_t>(sceneTiming(3).tickMs);
inline constexpr int32_t kMainTickMs = static_cast<int32_t>(sceneTiming(4).tickMs);

// Frames scene 1..8 shows when no tick is missed: its end + 1.
constexpr int32_t sceneFrames(int32_t scene) {
    switch (scene) {
    case 1:
        return kPresentsFrames + 1;
    case 3:
        return kTavoFrames + 1;
    case 4:
        return kMainFrames + 1;
    default:
        return sceneTiming(scene).end + 1;
    }
}

// First bar of each scene, and the end of the show in bars.
inline constexpr int32_t kSceneStartBar[8] = {0, 6, 9, 21, 41, 44, 50, 56};

// Length of the show in milliseconds when no tick is missed.
constexpr int32_t showLengthMs() {
    int32_t ms = 0;
    for (int32_t scene = 1; scene <= 8; ++scene) {
        ms += sceneFrames(scene) * static_cast<int32_t>(sceneTiming(scene).tickMs);
    }
    return ms;
}
} // namespace timeline
