#pragma once

// The C++ library of Debian's emscripten (3.1.6, libc++ 13) predates two
// C++17/20 functions the shared code uses: std::bit_cast, with which the
// step and the renderer read a double's bits, and std::to_chars for
// doubles, with which the tooltips print values the same under every
// locale. The WebAssembly build force-includes this header before every
// source to add them; a library that has them gets nothing from it.

#include <version>

#if !defined(__cpp_lib_bit_cast)
#include <type_traits>

namespace std {

template <class To, class From>
  requires(sizeof(To) == sizeof(From) && is_trivially_copyable_v<To> && is_trivially_copyable_v<From>)
constexpr To bit_cast(const From& from) noexcept {
  return __builtin_bit_cast(To, from);
}

}  // namespace std
#endif

#if defined(_LIBCPP_VERSION) && _LIBCPP_VERSION < 14000
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace std {

// The C library's printf rounds exactly, and a page's locale is always
// "C", so its digits are those to_chars gives.
inline to_chars_result to_chars(char* first, char* last, double value, chars_format, int precision) {
  char text[400];
  const int length = std::snprintf(text, sizeof text, "%.*f", precision, value);
  if (length < 0 || length > last - first) return {last, errc::value_too_large};
  std::memcpy(first, text, static_cast<size_t>(length));
  return {first + length, errc{}};
}

// The shortest digits that read back to value, written in whichever of the
// fixed and the scientific forms is shorter (the fixed one on a tie), as
// the plain to_chars does. Finite values only, as the tooltips have.
inline to_chars_result to_chars(char* first, char* last, double value) {
  char scientific[40];
  for (int digits = 1; digits <= 17; ++digits) {
    std::snprintf(scientific, sizeof scientific, "%.*e", digits - 1, value);
    if (std::strtod(scientific, nullptr) == value) break;
  }
  // scientific is [-]D[.DDD]e±XX: split off the sign, the digits and the exponent.
  const char* e = std::strchr(scientific, 'e');
  const int exponent = std::atoi(e + 1);
  const bool negative = scientific[0] == '-';
  char mantissa[20];
  int count = 0;
  for (const char* p = scientific + (negative ? 1 : 0); p < e; ++p) {
    if (*p != '.') mantissa[count++] = *p;
  }
  char fixed[400];
  int length = 0;
  if (negative) fixed[length++] = '-';
  if (exponent < 0) {
    fixed[length++] = '0';
    fixed[length++] = '.';
    for (int zero = 1; zero < -exponent; ++zero) fixed[length++] = '0';
    for (int i = 0; i < count; ++i) fixed[length++] = mantissa[i];
  } else if (exponent >= count - 1) {
    // A whole number: to_chars then writes its exact digits, not zeros
    // after the shortest ones.
    length = std::snprintf(fixed, sizeof fixed, "%.0f", value);
  } else {
    for (int i = 0; i < count; ++i) {
      if (i == exponent + 1) fixed[length++] = '.';
      fixed[length++] = i < count ? mantissa[i] : '0';
    }
  }
  // The scientific form as to_chars writes it: no point for one digit, and
  // an exponent of at least two digits.
  char shortest[40];
  const int scientificLength =
      std::snprintf(shortest, sizeof shortest, "%.*s%s%.*se%c%02d", negative ? 2 : 1, scientific,
                    count > 1 ? "." : "", count > 1 ? count - 1 : 0, mantissa + 1, exponent < 0 ? '-' : '+',
                    exponent < 0 ? -exponent : exponent);
  const char* text = length <= scientificLength ? fixed : shortest;
  const int size = length <= scientificLength ? length : scientificLength;
  if (size > last - first) return {last, errc::value_too_large};
  std::memcpy(first, text, static_cast<size_t>(size));
  return {first + size, errc{}};
}

}  // namespace std
#endif
