// Where the music clock reads time: the song's play time in milliseconds, as heard.
#pragma once

#include <cstdint>

class PlayTimeSource {
public:
    virtual ~PlayTimeSource() = default;
    virtual uint32_t playTime() = 0;
};
