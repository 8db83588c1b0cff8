// Two C++20 library functions that Emscripten's older libc++ lacks, forced into every
// file of the browser build only. Each is defined just when the library does not have it.
#pragma once

#include <bit>
#include <cstring>
#include <memory>
#include <type_traits>

#if !defined(__cpp_lib_bit_cast)
namespace std {
template <class To, class From>
requires(sizeof(To) == sizeof(From) && is_trivially_copyable_v<To> &&
         is_trivially_copyable_v<From>) To bit_cast(const From& from)
noexcept {
    To to;
    std::memcpy(&to, &from, sizeof(To));
    return to;
}
} // namespace std
#endif

#if !defined(__cpp_lib_smart_ptr_for_overwrite)
namespace std {
template <class T>
requires is_unbounded_array_v<T> unique_ptr<T> make_unique_for_overwrite(size_t n) {
    return unique_ptr<T>(new remove_extent_t<T>[n]);
}
template <class T>
requires(!is_array_v<T>) unique_ptr<T> make_unique_for_overwrite() {
    return unique_ptr<T>(new T);
}
} // namespace std
#endif
