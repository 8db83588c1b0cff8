// The show's display over the console, format, surface and key records.
#pragma once

#include <memory>

#include "driver/Display.h"
#include "platform/Console.h"
#include "platform/Format.h"
#include "platform/Surface.h"

class ConsoleDisplay final : public Display {
public:
    ConsoleDisplay();
    ~ConsoleDisplay() override;

    void open() override;
    int32_t readKey() override;
    bool keyWaiting(int32_t code) override;
    uint32_t* lock() override;
    void unlock() override;
    void present() override;
    void close() override;
    void destroy() override;
    void reportError(const ptc::DynamicError& error) override;

private:
    std::unique_ptr<ptc::Console> console;
    std::unique_ptr<ptc::Format> format;
    std::unique_ptr<ptc::Surface> surface;
};
