// Writing records into a document's result log.
#pragma once

#include <cstdint>
#include <string>

namespace xml {

// Mode bits of addResultRecord: which attribute names the text and the number get,
// and whether an existing record is updated instead of a new one appended.
namespace result_mode {
inline constexpr uint32_t kNumberIsCount = 0x01;
inline constexpr uint32_t kTextIsType = 0x02;
inline constexpr uint32_t kNumberIsN = 0x04;
inline constexpr uint32_t kTextIsEncoding = 0x08;
inline constexpr uint32_t kNumberIsLength = 0x10;
inline constexpr uint32_t kUpdateExisting = 0x20;
inline constexpr uint32_t kTextIsMsg = 0x40;
}  // namespace result_mode

// The log stops taking new records once it holds this many characters.
inline constexpr size_t kResultLogLimit = 1000;

// Writes one record into a result log: <name text-attribute number-attribute offset2/>.
// text may be null; number -1 leaves out "offset"; number2 -1 leaves out "offset2".
void addResultRecord(std::u16string& log, uint32_t mode, const char16_t* name, const char16_t* text, int32_t number,
                     int32_t number2);

}  // namespace xml
