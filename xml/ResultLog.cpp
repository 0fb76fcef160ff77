#include "xml/ResultLog.h"

#include "xml/TagDocument.h"

namespace xml {

namespace {

const char16_t* textAttribute(uint32_t mode) {
  if (mode & result_mode::kTextIsType) return u"type";
  if (mode & result_mode::kTextIsEncoding) return u"encoding";
  if (mode & result_mode::kTextIsMsg) return u"msg";
  return u"tagname";
}

// "n", "count" and "length" are always written; "offset" only for a number other than -1.
const char16_t* numberAttribute(uint32_t mode, int32_t number) {
  if (mode & result_mode::kNumberIsN) return u"n";
  if (mode & result_mode::kNumberIsCount) return u"count";
  if (mode & result_mode::kNumberIsLength) return u"length";
  return number != -1 ? u"offset" : nullptr;
}

}  // namespace

void addResultRecord(std::u16string& log, uint32_t mode, const char16_t* name, const char16_t* text, int32_t number,
                     int32_t number2) {
  const bool update = (mode & result_mode::kUpdateExisting) != 0;
  if (!update && log.size() >= kResultLogLimit) return;
  // The log is itself a document: load it, add or find the record, set its attributes.
  auto document = TagDocument::forResultLog();
  document->loadString(std::u16string_view(log));
  if (update) {
    if (!document->findNextElement(name)) return;
  } else if (!document->appendElement(name, nullptr, TagDocument::kAppendNoLineBreak)) {
    return;
  }
  if (text != nullptr) document->setAttribute(textAttribute(mode), text);
  if (const char16_t* attribute = numberAttribute(mode, number)) document->setAttribute(attribute, number);
  if (number2 != -1) document->setAttribute(u"offset2", number2);
  log = document->text();
}

}  // namespace xml
