#pragma once

// The XML reader's document: indexes a text without copying it and walks its elements.
class TagDocument {
public:
  TagDocument();
};
