#pragma once
// The address of the publisher's login page ("the lander"), with the
// promotion key that something outside the program may have left in the
// current user's registry.

#include <cstdint>
#include <string>
#include <string_view>

#include "login/RegistryStore.h"

namespace login {

// Reads one string value, opening the key with read and write access and
// creating it empty when it cannot be opened. Succeeds only for a REG_SZ or
// REG_EXPAND_SZ value whose data fits maxChars + 1 UTF-16 units, has an even
// byte length and ends in NUL (an empty value reads as empty text). `out` gets
// the text up to the first NUL on success and is left as it was otherwise.
bool ReadRegistryString(RegistryStore& store, RegistryRoot root, std::u16string_view subKey,
                        std::u16string_view valueName, std::u16string& out, int maxChars);
// The same against the current user's store.
bool ReadRegistryString(RegistryRoot root, std::u16string_view subKey, std::u16string_view valueName,
                        std::u16string& out, int maxChars);

// The promotion key as the C library's wcstol reads it in base 10: leading
// white space, one sign, digits up to the first other character, 0 without
// digits, saturated at the limits of a signed 32-bit number.
std::int32_t ParsePromotionKey(std::u16string_view text);

// "http://" + portalHost + "/lander/zarek", followed by "?adkey=<n>" when the
// value "QID" of HKEY_CURRENT_USER\Software\HollinTessary holds a non-zero
// number. Read afresh at every call.
std::u16string BuildLoginAddress(RegistryStore& store, std::u16string_view portalHost);
// The same with the current user's store and the compiled-in portal host.
std::u16string BuildLoginAddress();

}  // namespace login
