// Console start-up in the show's order: console object, 32-bit format, the
// "synchronized update" option, open at 320x200, then a surface of the console's size.
#include "platform/ConsoleDisplay.h"

namespace {

constexpr const char* kTitle = "Morvane TILSEN";
constexpr int32_t kWidth = 320;
constexpr int32_t kHeight = 200;

} // namespace

ConsoleDisplay::ConsoleDisplay() = default;

ConsoleDisplay::~ConsoleDisplay() {
    destroy();
}

void ConsoleDisplay::open() {
    console = std::make_unique<ptc::Console>();
    format = std::make_unique<ptc::Format>(32, 0xFF0000u, 0x00FF00u, 0x0000FFu, 0u);
    console->option("synchronized update");
    console->open(kTitle, kWidth, kHeight, *format, 0);
    // The show draws 320x200 pixels into the surface, whatever the console says.
    if (console->width() != kWidth || console->height() != kHeight) {
        throw ptc::DynamicError("the console did not open at 320x200");
    }
    surface = std::make_unique<ptc::Surface>(console->width(), console->height(), *format);
}

int32_t ConsoleDisplay::readKey() {
    ptc::Key key(0, false, false, false);
    if (console->keyPending()) {
        ptc::Key pending;
        console->read(pending);
        key = pending;
    }
    return key.code();
}

bool ConsoleDisplay::keyWaiting(int32_t code) {
    return console && console->keyQueued(code);
}

uint32_t* ConsoleDisplay::lock() {
    return surface->lock();
}

void ConsoleDisplay::unlock() {
    surface->unlock();
}

void ConsoleDisplay::present() {
    surface->copy(*console);
    console->update();
}

void ConsoleDisplay::close() {
    console->close();
}

void ConsoleDisplay::destroy() {
    surface.reset();
    format.reset();
    console.reset();
}

void ConsoleDisplay::reportError(const ptc::DynamicError& error) {
    error.report();
}
