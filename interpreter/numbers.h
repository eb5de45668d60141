// The interpreter's number rules: 64-bit integer arithmetic, the conversions between reals and
// integers, and the conversions between numbers and text. The evaluators and the built-ins share
// them, so that `7 div 2`, Trunc and StrToInt cannot drift apart.
//
// Integer rules live here and in eval_int.cpp, real rules in eval_real.cpp. None of them has undefined
// behaviour for any input.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ppa_numbers {

// ---- Integer arithmetic: two's complement modulo 2^64, overflow wraps without error ----
// Signed overflow is undefined in C++; unsigned arithmetic wraps modulo 2^64, which is the
// language's rule, and the conversion back is modular since C++20. Inline: every expression uses them.
inline std::int64_t Add(std::int64_t A, std::int64_t B) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(A) + static_cast<std::uint64_t>(B));
}
inline std::int64_t Subtract(std::int64_t A, std::int64_t B) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(A) - static_cast<std::uint64_t>(B));
}
inline std::int64_t Multiply(std::int64_t A, std::int64_t B) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(A) * static_cast<std::uint64_t>(B));
}
inline std::int64_t Negate(std::int64_t A) { return static_cast<std::int64_t>(0 - static_cast<std::uint64_t>(A)); }
// Raises "Division by zero".
[[noreturn]] void DivisionByZero();
// Quotient truncated toward zero; raises "Division by zero" for B = 0. INT64_MIN div -1 overflows
// (a trap on x86), so a divisor of -1 is a wrapping negation instead.
inline std::int64_t Divide(std::int64_t A, std::int64_t B) {
  if (B == 0) DivisionByZero();
  if (B == -1) return Negate(A);
  return A / B;
}
// Remainder with the sign of A; raises "Division by zero" for B = 0. Every remainder by -1 is 0,
// and computing INT64_MIN % -1 would trap like the division.
inline std::int64_t Remainder(std::int64_t A, std::int64_t B) {
  if (B == 0) DivisionByZero();
  if (B == -1) return 0;
  return A % B;
}
// Logical shifts; the count is read from the low 8 bits of Count (see eval_int.cpp).
std::int64_t ShiftLeft(std::int64_t A, std::int64_t Count);
std::int64_t ShiftRight(std::int64_t A, std::int64_t Count);

// ---- Reals to integers ----
// Toward zero. NaN and values outside the 64-bit range give INT64_MIN.
std::int64_t Truncate(double X);
// To the nearest integer, halves to the even neighbour. Out of range as Truncate.
std::int64_t Round(double X);

// ---- Text to numbers ----
// Leading spaces, an optional sign, then decimal digits or "$" / "0x" / "0X" and hexadecimal digits,
// nothing after. nullopt when the text does not qualify or does not fit.
std::optional<std::int64_t> ParseInt(std::string_view Text);
inline std::int64_t TextToInt(std::string_view Text, std::int64_t Fallback) {
  return ParseInt(Text).value_or(Fallback);
}
// Optional spaces, an optional sign, digits with an optional "." fraction and an optional exponent,
// optional spaces. The separator is always ".". nullopt when the text does not qualify or its
// magnitude is outside the range of a double.
std::optional<double> ParseReal(std::string_view Text);

// ---- Numbers to text ----
// The general format: at most 15 significant digits, no trailing zeros, "." as separator, and
// scientific notation (1E20, 1.5E-7) for more than 15 digits before the point or below 0.00001.
// Infinities and NaN as "INF", "-INF" and "NAN".
std::string FormatReal(double X);

}  // namespace ppa_numbers
