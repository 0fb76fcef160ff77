#include "game/MovieCalls.h"

#include "xml/TagDocument.h"

namespace game {

using xml::TagDocument;

namespace {

void RemoveAll(std::u16string& text, std::u16string_view piece) {
  for (std::size_t at = text.find(piece); at != std::u16string::npos; at = text.find(piece, at))
    text.erase(at, piece.size());
}

void TraceElement(TagDocument& document, MovieCommands& commands) {
  for (int n = 0;; ++n) {
    commands.Trace(u"  ");
    const std::u16string attribute = document.attributeNameAt(n);
    if (attribute.empty()) break;
    commands.Trace(attribute);
    commands.Trace(u"=");
    commands.Trace(document.attributeValue(attribute.c_str()));
  }
  commands.Trace(u"Tag(" + document.currentName() + u") = ");
  commands.Trace(document.currentText());
  commands.Trace(u"\n");
}

enum class Walk { Continue, EndLevel };

// Recognises a command on an "invoke" element and runs it.
Walk RunCommand(TagDocument& document, MovieCommands& commands) {
  // The name is read afresh for each comparison.
  if (document.attributeValue(u"name") == u"reload") {
    commands.Trace(u"\nFlash刷新!!!!!!!!");
    commands.Reload();
    return Walk::EndLevel;
  }
  if (document.attributeValue(u"name") == u"setReloadTips") {
    commands.Trace(u"\n收到Flash方的信息!!!!!!!!");
    commands.SetReloadTips(ReloadTipsText(document.innerMarkup()));
    return Walk::Continue;
  }
  if (document.attributeValue(u"name") == u"setWindowMax") {
    commands.Trace(u"\n最大化/还原窗口!!!!!!!!");
    commands.SetWindowMax();
    return Walk::EndLevel;
  }
  if (document.attributeValue(u"name") == u"disconnection") {
    commands.Trace(u"\nFlash断线!!!!!!!!");
    commands.Disconnection();
    return Walk::EndLevel;
  }
  return Walk::Continue;
}

}  // namespace

std::u16string ReloadTipsText(std::u16string innerMarkup) {
  RemoveAll(innerMarkup, u"<arguments><string>");
  RemoveAll(innerMarkup, u"</string></arguments>");
  return innerMarkup;
}

void OnFlashCall(const std::u16string& request, MovieCommands& commands) {
  commands.Trace(request);
  TagDocument document;
  document.loadString(request.c_str());
  document.rewind();
  DispatchMovieCall(document, commands);
}

void DispatchMovieCall(TagDocument& document, MovieCommands& commands) {
  // The walk descends into every element; it keeps its depth itself rather
  // than on the stack, so no request nests deep enough to overflow it.
  std::size_t depth = 0;
  for (;;) {
    Walk walk = Walk::Continue;
    if (!document.findNextElement()) {
      walk = Walk::EndLevel;
    } else {
      if (document.currentName() == u"invoke") walk = RunCommand(document, commands);
      if (walk == Walk::Continue) {
        TraceElement(document, commands);
        if (document.enterElement()) ++depth;
        continue;
      }
    }
    // The level is over: back to the parent, which goes on with its next sibling.
    if (depth == 0) return;
    document.leaveElement();
    --depth;
  }
}

}  // namespace game
