// What the show needs from the music: start (which ends the process on failure), stop,
// and the song's master volume, an integer 0..256 lowered one step at a time.
#pragma once

#include <cstdint>

class Music {
public:
    virtual ~Music() = default;
    virtual void startMusic() = 0;
    virtual void stopMusic() = 0;
    virtual int32_t masterVolume() = 0;
    virtual void setMasterVolume(int32_t volume) = 0;
};
