#include "records/json_float.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/python.h"

namespace pelmora::records {
namespace {

constexpr int kDecimals = 10;
constexpr uint64_t kFracScale = 10000000000ULL;  // 10^kDecimals
constexpr double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5,
                             1e6, 1e7, 1e8, 1e9, 1e10};
constexpr uint64_t kUPow10[] = {1ULL,           10ULL,          100ULL,
                                1000ULL,        10000ULL,       100000ULL,
                                1000000ULL,     10000000ULL,    100000000ULL,
                                1000000000ULL,  10000000000ULL};
// Integers up to 2^53 are exact doubles.
constexpr uint64_t kExactInt = 1ULL << 53;
// The encoder switches to printf's "%.10g" above 1e16 - 1 (which, as a
// double, is 1e16) and below 1e-15.
constexpr double kFixedMax = 1e16;
constexpr double kFixedMin = 1e-15;

// Python's own correctly rounded reader, the one json.loads uses.
double parse(const char* text) {
  double v = PyOS_string_to_double(text, nullptr, nullptr);
  if (v == -1.0 && PyErr_Occurred()) throw_pending();
  return v;
}

// "%.10g": the value rounded to ten significant digits (overflowing to
// infinity when it is read back, for values next to the largest double).
double exponential(double value) {
  return parse(double_text(value, 'e', kDecimals - 1, 0).c_str());
}

// The encoder's fixed notation for 0 <= a <= 1e16: integer part, then the
// fraction scaled by 10^10 and rounded with its own tie rule (up when odd or
// zero), trailing zeros dropped. The text is "whole.frac" or "whole.0".
double fixed(double a) {
  uint64_t whole = static_cast<uint64_t>(a);
  // volatile: keep the product rounded to double, as the encoder has it.
  volatile double scaled = (a - static_cast<double>(whole)) * kPow10[kDecimals];
  const double tmp = scaled;
  uint64_t frac = static_cast<uint64_t>(tmp);
  const double diff = tmp - static_cast<double>(frac);
  if (diff > 0.5 || (diff == 0.5 && (frac == 0 || (frac & 1)))) ++frac;
  if (frac >= kFracScale) {
    frac = 0;
    ++whole;
  }
  if (frac == 0) return static_cast<double>(whole);

  int digits = kDecimals;
  while (frac % 10 == 0) {
    frac /= 10;
    --digits;
  }
  // Both whole * 10^digits + frac and 10^digits exact: one correctly
  // rounded division gives what the parser reads.
  if (whole <= (kExactInt - frac) / kUPow10[digits]) {
    const uint64_t n = whole * kUPow10[digits] + frac;
    return static_cast<double>(n) / kPow10[digits];
  }
  char text[48];
  char* end = std::to_chars(text, text + 24, whole).ptr;
  *end++ = '.';
  char frac_text[16];
  char* frac_end = std::to_chars(frac_text, frac_text + sizeof frac_text, frac).ptr;
  const auto frac_len = static_cast<int>(frac_end - frac_text);
  for (int i = frac_len; i < digits; ++i) *end++ = '0';
  std::memcpy(end, frac_text, static_cast<size_t>(frac_len));
  end[frac_len] = '\0';
  return parse(text);
}

bool same_bits(double a, double b) {
  uint64_t x, y;
  std::memcpy(&x, &a, sizeof x);
  std::memcpy(&y, &b, sizeof y);
  return x == y;
}

}  // namespace

double json_float(double value) {
  // Only true negatives carry a sign: -0.0 is written "0.0".
  const bool negative = value < 0;
  const double a = negative ? -value : value;
  if (a > kFixedMax || (a != 0.0 && a < kFixedMin)) return exponential(value);
  const double r = fixed(a);
  return negative ? -r : r;
}

py::object json_float_object(double value, PyObject* original) {
  const double r = json_float(value);
  if (original != nullptr && PyFloat_CheckExact(original) && same_bits(r, value)) {
    return borrowed(original);
  }
  return checked(PyFloat_FromDouble(r));
}

}  // namespace pelmora::records
