#pragma once

// Dialog templates of the three windows: 103 (skin window), 102 (login
// dialog) and 131 (game window). Sizes and positions are in dialog units, as
// the templates store them; DialogUnitsToPixels turns them into pixels.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace res {

// Style bits the templates use (values of the Windows headers).
constexpr std::uint32_t kStylePopup = 0x80000000u;        // WS_POPUP
constexpr std::uint32_t kStyleChild = 0x40000000u;        // WS_CHILD
constexpr std::uint32_t kStyleVisible = 0x10000000u;      // WS_VISIBLE
constexpr std::uint32_t kDialogSetFont = 0x00000040u;     // DS_SETFONT
constexpr std::uint32_t kDialogFixedSys = 0x00000008u;    // DS_FIXEDSYS
constexpr std::uint32_t kStaticBitmap = 0x0000000Eu;      // SS_BITMAP
constexpr std::uint32_t kStaticRealSize = 0x00000800u;    // SS_REALSIZEIMAGE
constexpr std::uint32_t kExStyleAppWindow = 0x00040000u;  // WS_EX_APPWINDOW

constexpr std::uint32_t kPopupDialogStyle = kStylePopup | kDialogSetFont | kDialogFixedSys;
constexpr std::uint32_t kBitmapControlStyle = kStyleChild | kStyleVisible | kStaticBitmap | kStaticRealSize;

constexpr int kSkinDialog = 103;
constexpr int kLoginDialog = 102;
constexpr int kGameDialog = 131;

// A static bitmap control of a template; position and size in dialog units.
struct ControlTemplate {
  int id;
  int bitmap;  // BITMAP resource it shows
  int x, y, cx, cy;
  std::uint32_t style;
};

struct DialogTemplate {
  int number;
  int cx, cy;  // dialog units; every template stands at (0, 0)
  int fontPoint;
  int fontWeight;  // 0: the font's default weight
  std::u16string fontFace;
  std::uint32_t style;
  std::uint32_t exStyle;
  std::vector<ControlTemplate> controls;
};

// Template `number`, or null when the program has no such template.
const DialogTemplate* FindDialogTemplate(int number);

// Pixels per 4 horizontal and per 8 vertical dialog units of a template's
// font. The templates use "MS Shell Dlg" at 96 DPI: 9 point gives 7 x 15,
// 8 point 6 x 13 (the values Windows measures for that font); other sizes
// are not used and get the 8-point units.
struct DialogBaseUnits {
  int x;
  int y;
};
DialogBaseUnits BaseUnitsOf(const DialogTemplate& dialog);

// (x, y) in dialog units to pixels, rounded to the nearest pixel (halves
// away from zero), as the dialog manager maps template rectangles.
std::pair<int, int> DialogUnitsToPixels(const DialogTemplate& dialog, int x, int y);

}  // namespace res
