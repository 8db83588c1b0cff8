// The show's display over the console, format, surface and key records.
#pragma once

#include <memory>

#include "driver/Display.h"
#include "platform/Console.h"
#include "platform/Format.h"
#include "platform/Surface.h"

class ConsoleDisplay final : public Display {
public:
    // sharp: frames are drawn at the size of the window's 4:3 rectangle (sharpFrameSize),
    // picked again at every lock; otherwise always at 320x200.
    explicit ConsoleDisplay(bool sharp = false);
    ~ConsoleDisplay() override;

    void open() override;
    int32_t readKey() override;
    bool keyWaiting(int32_t code) override;
    uint32_t* lock() override;
    int32_t frameWidth() const override;
    int32_t frameHeight() const override;
    void unlock() override;
    void present() override;
    void close() override;
    void destroy() override;
    void reportError(const ptc::DynamicError& error) override;

private:
    // Resizes the console's frame and the surface to the window's 4:3 rectangle.
    void fitSurface();

    bool sharp;
    std::unique_ptr<ptc::Console> console;
    std::unique_ptr<ptc::Format> format;
    std::unique_ptr<ptc::Surface> surface;
};
