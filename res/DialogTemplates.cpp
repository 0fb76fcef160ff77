#include "res/DialogTemplates.h"

#include <cstdint>

namespace res {
namespace {

const std::u16string kShellDialogFont = u"MS Shell Dlg";

// MulDiv: a * b / c in 64 bits, rounded half away from zero.
int MulDiv(int a, int b, int c) {
  const std::int64_t product = static_cast<std::int64_t>(a) * b;
  const std::int64_t half = c / 2;
  return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

const std::vector<DialogTemplate>& Templates() {
  // Built on first use, so callers during static initialisation are safe.
  static const std::vector<DialogTemplate> templates{
      {kSkinDialog, 319, 199, 9, 0, kShellDialogFont, kPopupDialogStyle, 0, {}},
      {kLoginDialog,
       500,
       299,
       9,
       0,
       kShellDialogFont,
       kPopupDialogStyle,
       0,
       {
           // The browser's frame edges; the dialog places them in pixels itself.
           {1021, 170, 10, 13, 1, 191, kBitmapControlStyle},
           {1022, 148, 10, 12, 318, 2, kBitmapControlStyle},
           {1023, 171, 328, 12, 1, 191, kBitmapControlStyle},
           {1024, 172, 11, 202, 318, 2, kBitmapControlStyle},
       }},
      {kGameDialog, 442, 207, 8, 400, kShellDialogFont, kPopupDialogStyle, kExStyleAppWindow, {}},
  };
  return templates;
}

}  // namespace

const DialogTemplate* FindDialogTemplate(int number) {
  for (const DialogTemplate& t : Templates()) {
    if (t.number == number) return &t;
  }
  return nullptr;
}

DialogBaseUnits BaseUnitsOf(const DialogTemplate& dialog) {
  if (dialog.fontPoint == 9) return {7, 15};
  return {6, 13};
}

std::pair<int, int> DialogUnitsToPixels(const DialogTemplate& dialog, int x, int y) {
  const DialogBaseUnits units = BaseUnitsOf(dialog);
  return {MulDiv(x, units.x, 4), MulDiv(y, units.y, 8)};
}

}  // namespace res
