// The show's music in a browser. The page loads the module into its audio worklet and
// starts it on the visitor's click, before the show starts; the show then only reads its
// play time, lowers its volume and stops it.
#pragma once

#include <cstdint>

#include "driver/Music.h"
#include "driver/PlayTimeSource.h"

class WebMusic final : public Music, public PlayTimeSource {
public:
    static constexpr int32_t kFullVolume = 256;

    void startMusic() override {}
    void stopMusic() override;
    int32_t masterVolume() override { return volume; }
    void setMasterVolume(int32_t newVolume) override;
    uint32_t playTime() override;

private:
    int32_t volume = kFullVolume;
};
