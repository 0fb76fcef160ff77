#include "login/RunUpdateCheck.h"

#include <chrono>

#include "login/CveloraDlg.h"
#include "update/CheckForUpdate.h"
#include "update/PosixUpdateEnvironment.h"
#include "update/ProgressText.h"

namespace login {

namespace {

using Clock = std::chrono::steady_clock;

// The real environment, with the downloads kept from freezing the windows:
// the desktop marks a window that answers nothing for a few seconds as not
// responding. Pending painting, moves and clicks are handled while a
// download runs, the loading page shows the new program's progress, and a
// close of the program meanwhile cancels the download.
class DialogUpdateEnvironment final : public update::PosixUpdateEnvironment {
 public:
  explicit DialogUpdateEnvironment(CveloraDlg& dialog)
      : PosixUpdateEnvironment(
            [&dialog](const std::u16string& text, const std::u16string& caption) {
              dialog.platform().MessageBox(dialog.window(), text, caption, platform::MB_OK);
            },
            [&dialog] {
              if (platform::Window* w = dialog.window()) w->Post(platform::WM_CLOSE, 0, 0);
            }),
        dialog_(dialog) {}

  bool KeepAnswering() override {
    const Clock::time_point now = Clock::now();
    if (!closing_ && now >= nextEvents_) {
      nextEvents_ = now + std::chrono::milliseconds(20);
      if (!dialog_.platform().ProcessPendingEvents()) closing_ = true;
    }
    return !closing_;
  }

  bool Progress(uint64_t received, int64_t total) override {
    const Clock::time_point now = Clock::now();
    if (!closing_ && now >= nextText_) {
      nextText_ = now + std::chrono::milliseconds(200);
      dialog_.ShowUpdateProgress(update::ProgressText(received, total));
    }
    return !closing_;
  }

 private:
  CveloraDlg& dialog_;
  Clock::time_point nextEvents_{};
  Clock::time_point nextText_{};
  bool closing_ = false;
};

}  // namespace

bool RunUpdateCheck(CveloraDlg& dialog) {
  DialogUpdateEnvironment environment(dialog);
  const auto outcome = update::CheckForUpdate(environment, update::BuiltInUpdateSettings());
  return outcome == update::UpdateOutcome::Installed || outcome == update::UpdateOutcome::Cancelled;
}

}  // namespace login
