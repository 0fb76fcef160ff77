#include "platform/gtk/player/ExternalValue.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace platform::gtk {

namespace {

std::u16string Widen(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

}  // namespace

std::u16string NumberText(double value) {
  if (std::isnan(value)) return u"NaN";
  if (value == 0) return u"0";
  if (std::isinf(value)) return value < 0 ? u"-Infinity" : u"Infinity";
  if (value < 0) return u"-" + NumberText(-value);

  // The shortest digits that read back as the same number, with the decimal
  // exponent of the first digit: value = 0.d1d2...dk * 10^n.
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  std::string_view scientific(buffer, static_cast<std::size_t>(result.ptr - buffer));
  std::size_t e = scientific.find('e');
  std::string digits;
  for (char c : scientific.substr(0, e))
    if (c != '.') digits += c;
  int exponent = std::atoi(std::string(scientific.substr(e + 1)).c_str());
  int k = static_cast<int>(digits.size());
  int n = exponent + 1;

  std::string out;
  if (k <= n && n <= 21) {
    out = digits + std::string(static_cast<std::size_t>(n - k), '0');
  } else if (0 < n && n <= 21) {
    out = digits.substr(0, static_cast<std::size_t>(n)) + "." + digits.substr(static_cast<std::size_t>(n));
  } else if (-6 < n && n <= 0) {
    out = "0." + std::string(static_cast<std::size_t>(-n), '0') + digits;
  } else {
    int shown = n - 1;
    out = digits.substr(0, 1);
    if (k > 1) out += "." + digits.substr(1);
    out += shown < 0 ? "e-" : "e+";
    out += std::to_string(shown < 0 ? -shown : shown);
  }
  return Widen(out);
}

}  // namespace platform::gtk
