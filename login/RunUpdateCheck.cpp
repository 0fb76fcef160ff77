#include "login/RunUpdateCheck.h"

#include "login/CveloraDlg.h"
#include "update/CheckForUpdate.h"
#include "update/PosixUpdateEnvironment.h"

namespace login {

bool RunUpdateCheck(CveloraDlg& dialog) {
  platform::Platform& platform = dialog.platform();
  tessary::update::PosixUpdateEnvironment environment(
      [&](const std::u16string& text, const std::u16string& caption) {
        platform.MessageBox(dialog.window(), text, caption, platform::MB_OK);
      },
      [&] {
        if (platform::Window* w = dialog.window()) w->Post(platform::WM_CLOSE, 0, 0);
      });
  return tessary::update::CheckForUpdate(environment, tessary::update::BuiltInUpdateSettings()) ==
         tessary::update::UpdateOutcome::Installed;
}

}  // namespace login
