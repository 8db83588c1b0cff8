// One millisecond per read.
#include "VirtualPlayTime.h"

uint32_t VirtualPlayTime::playTime() {
    reached = next;
    ++next;
    return reached;
}
