// The script's clock, scene by scene: how long a tick lasts and how many frames a scene
// shows. The show runs by this table and the content tools compose the music's bar lines
// and the movies' lengths against it, so the two cannot drift apart unnoticed.
#pragma once

#include <array>
#include <cstdint>

struct SceneTiming {
    // Length of one frame tick in milliseconds of music time.
    uint32_t tickMs;
    // The scene's last frame index; kMovieDecides for a movie scene, which ends with
    // its movie's frame count.
    int32_t end;
};

inline constexpr int32_t kMovieDecides = -1;

// Scenes 1 to 8, in order: presents, pelu, tavo01, main02, greets, credits, morvane, fade.
inline constexpr std::array<SceneTiming, 8> kSceneTimings = {{
    {66, kMovieDecides},
    {16, 300},
    {40, kMovieDecides},
    {100, kMovieDecides},
    {16, 300},
    {16, 600},
    {16, 600},
    {16, 480},
}};

// Timing of scene 1..8.
constexpr const SceneTiming& sceneTiming(int32_t scene) {
    return kSceneTimings[static_cast<size_t>(scene - 1)];
}
