// A key record: the key's code (upper-case ASCII for letters, 27 for Escape) and three
// modifier flags. Code 0 with no modifiers means no key. Assignment copies a record.
#pragma once

#include <cstdint>

namespace ptc {

class Key {
public:
    explicit Key(int32_t code = 0, bool alt = false, bool shift = false, bool control = false)
        : keyCode(code), altDown(alt), shiftDown(shift), controlDown(control) {}

    int32_t code() const { return keyCode; }
    bool alt() const { return altDown; }
    bool shift() const { return shiftDown; }
    bool control() const { return controlDown; }

private:
    int32_t keyCode;
    bool altDown;
    bool shiftDown;
    bool controlDown;
};

} // namespace ptc
