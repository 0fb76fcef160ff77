#include "login/LoginAddress.h"

#include <limits>
#include <vector>

#include "login/Hosts.h"

namespace login {
namespace {

constexpr std::u16string_view kPromotionKeyPath = u"Software\\HollinTessary";
constexpr std::u16string_view kPromotionValueName = u"QID";
constexpr int kLongestPromotionKey = 260;

// The characters iswspace reports in a Unicode locale; the no-break spaces
// (U+00A0, U+2007, U+202F) are not among them.
bool IsWideSpace(char16_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x1680 || (c >= 0x2000 && c <= 0x2006) ||
         (c >= 0x2008 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x205F || c == 0x3000;
}

std::u16string DecimalText(std::int32_t n) {
  const std::string digits = std::to_string(n);
  return std::u16string(digits.begin(), digits.end());
}

}  // namespace

bool ReadRegistryString(RegistryStore& store, RegistryRoot root, std::u16string_view subKey,
                        std::u16string_view valueName, std::u16string& out, int maxChars) {
  // Opening read-write, and creating on failure, leaves the key in place
  // wherever the user may create it, even though nothing is written to it.
  RegistryKey key;
  if (store.OpenKey(root, subKey, KEY_READ | KEY_WRITE, key) != RegistryResult::Success &&
      store.CreateKey(root, subKey, KEY_READ | KEY_WRITE, key) != RegistryResult::Success)
    return false;

  RegistryValue value;
  if (store.QueryValue(key, valueName, value) != RegistryResult::Success) return false;
  if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) return false;
  if (maxChars < 0) return false;
  const std::size_t bufferBytes = (std::size_t(maxChars) + 1) * sizeof(char16_t);
  const std::vector<std::uint8_t>& data = value.data;
  if (data.size() > bufferBytes) return false;
  if (data.empty()) {
    out.clear();
    return true;
  }
  if (data.size() % 2 != 0 || data[data.size() - 2] != 0 || data[data.size() - 1] != 0) return false;

  std::u16string text;
  for (std::size_t i = 0; i < data.size(); i += 2) {
    const char16_t c = char16_t(data[i] | (data[i + 1] << 8));
    if (c == u'\0') break;
    text.push_back(c);
  }
  out = std::move(text);
  return true;
}

bool ReadRegistryString(RegistryRoot root, std::u16string_view subKey, std::u16string_view valueName,
                        std::u16string& out, int maxChars) {
  RegistryStore store = RegistryStore::ForCurrentUser();
  return ReadRegistryString(store, root, subKey, valueName, out, maxChars);
}

std::int32_t ParsePromotionKey(std::u16string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsWideSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';

  // Accumulate the magnitude, stopping once it is past any 32-bit limit.
  constexpr std::int64_t kBeyondLimits = std::int64_t(std::numeric_limits<std::int32_t>::max()) + 2;
  std::int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    if (magnitude < kBeyondLimits) magnitude = magnitude * 10 + (text[i] - u'0');
  }
  const std::int64_t n = negative ? -magnitude : magnitude;
  if (n > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (n < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return std::int32_t(n);
}

std::u16string BuildLoginAddress(RegistryStore& store, std::u16string_view portalHost) {
  std::u16string address = u"http://" + std::u16string(portalHost) + u"/lander/zarek";
  std::u16string text;
  ReadRegistryString(store, RegistryRoot::CurrentUser, kPromotionKeyPath, kPromotionValueName, text,
                     kLongestPromotionKey);
  if (const std::int32_t n = ParsePromotionKey(text); n != 0) address += u"?adkey=" + DecimalText(n);
  return address;
}

std::u16string BuildLoginAddress() {
  RegistryStore store = RegistryStore::ForCurrentUser();
  return BuildLoginAddress(store, PortalHost());
}

}  // namespace login
