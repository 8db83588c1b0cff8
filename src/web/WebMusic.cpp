// Music calls handed to the page. Volumes outside 0..256 are refused, as on the desktop.
#include "web/WebMusic.h"

#include "web/PageBridge.h"

void WebMusic::stopMusic() {
    tilsenPageMusicStop();
}

void WebMusic::setMasterVolume(int32_t newVolume) {
    if (newVolume < 0 || newVolume > kFullVolume) {
        return;
    }
    volume = newVolume;
    tilsenPageMusicVolume(volume);
}

uint32_t WebMusic::playTime() {
    return tilsenPagePlayTime();
}
