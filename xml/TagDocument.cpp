#include "xml/TagDocument.h"

TagDocument::TagDocument() = default;
