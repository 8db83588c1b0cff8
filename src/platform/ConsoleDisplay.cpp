// Console start-up in the show's order: console object, 32-bit format, the
// "synchronized update" option, open at 320x200, then a surface of the console's size.
// A sharp display then follows the window: the surface is made again whenever the 4:3
// rectangle it is shown in changes size.
#include "platform/ConsoleDisplay.h"

namespace {

constexpr const char* kTitle = "Morvane TILSEN";
constexpr int32_t kWidth = 320;
constexpr int32_t kHeight = 200;

} // namespace

ConsoleDisplay::ConsoleDisplay(bool sharpFrames) : sharp(sharpFrames) {}

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
    if (sharp) {
        fitSurface();
    }
    return surface->lock();
}

int32_t ConsoleDisplay::frameWidth() const {
    return surface ? surface->width() : kWidth;
}

int32_t ConsoleDisplay::frameHeight() const {
    return surface ? surface->height() : kHeight;
}

void ConsoleDisplay::fitSurface() {
    const FrameRect shown = console->shownRect();
    const FrameRect wanted = sharpFrameSize(shown.w, shown.h);
    if (wanted.w == surface->width() && wanted.h == surface->height()) {
        return;
    }
    console->resizeFrame(wanted.w, wanted.h);
    surface = std::make_unique<ptc::Surface>(wanted.w, wanted.h, *format);
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
