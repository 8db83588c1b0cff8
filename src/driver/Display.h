// What the show needs from its display: the console and its one surface, 320x200 unless
// the display draws sharp, when it may change size between frames. Every operation may
// throw ptc::DynamicError. A recorder can stand in for the window by capturing each
// presented frame.
#pragma once

#include <cstdint>

#include "driver/DynamicError.h"

class Display {
public:
    virtual ~Display() = default;
    // Creates the console, the 32-bit format, gives the console the "synchronized
    // update" option, opens it at 320x200 and creates a surface of its size.
    virtual void open() = 0;
    // At most one key per call, 0 when none is waiting; never blocks.
    virtual int32_t readKey() = 0;
    // Whether a key with this code is waiting to be read (it stays waiting); cheap enough
    // to ask while a frame is drawn. Displays without a keyboard have none.
    virtual bool keyWaiting(int32_t code) {
        static_cast<void>(code);
        return false;
    }
    static constexpr int32_t kFrameWidth = 320;
    static constexpr int32_t kFrameHeight = 200;

    // The surface's pixels, frameWidth() x frameHeight() with pitch frameWidth(); they
    // persist between frames of one size.
    virtual uint32_t* lock() = 0;
    // Size of the surface the last lock handed out. A sharp display picks it at lock.
    virtual int32_t frameWidth() const { return kFrameWidth; }
    virtual int32_t frameHeight() const { return kFrameHeight; }
    virtual void unlock() = 0;
    // Copies the surface to the console and makes it visible.
    virtual void present() = 0;
    // Closes the console (the window goes away).
    virtual void close() = 0;
    // Destroys what open created that still exists, newest first. Never throws.
    virtual void destroy() = 0;
    // Makes a caught error known to the user.
    virtual void reportError(const ptc::DynamicError& error) = 0;
};
