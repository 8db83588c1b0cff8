// The display console's one exception. The show catches it once around everything it
// does with the console and hands it to report(). Header-only apart from report(), so
// the driver can catch it without linking the platform layer.
#pragma once

#include <string>
#include <utility>

namespace ptc {

class DynamicError {
public:
    explicit DynamicError(std::string message) : text(std::move(message)) {}
    const char* message() const { return text.c_str(); }
    // One line on standard error, prefixed with the program name, and a message box
    // when a display is available (defined in the platform layer).
    void report() const;

private:
    std::string text;
};

} // namespace ptc
