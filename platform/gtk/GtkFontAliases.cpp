#include "platform/gtk/GtkFontAliases.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

namespace platform::gtk {
namespace {

// "宋体" (SimSun) is the title font: Chinese titles and questions render
// with the CJK faces a desktop has.
constexpr char kFontAliases[] = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <alias binding="same">
    <family>宋体</family>
    <prefer>
      <family>WenQuanYi Zen Hei</family>
      <family>Noto Sans CJK SC</family>
      <family>Noto Serif CJK SC</family>
      <family>AR PL UMing CN</family>
    </prefer>
  </alias>
  <alias binding="same">
    <family>MS Shell Dlg</family>
    <prefer><family>sans-serif</family></prefer>
  </alias>
</fontconfig>
)";

}  // namespace

void AddFontAliases() {
  FcConfig* config = FcConfigGetCurrent();
  if (!FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8*>(kFontAliases), FcFalse)) return;
  FcConfigBuildFonts(config);
  // Pango caches what fontconfig said; let it see the new aliases.
  if (PangoFontMap* map = pango_cairo_font_map_get_default()) pango_fc_font_map_config_changed(PANGO_FC_FONT_MAP(map));
}

}  // namespace platform::gtk
