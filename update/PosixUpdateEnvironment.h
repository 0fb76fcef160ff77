#pragma once
// The self-update's environment on a real system: POSIX files and processes.

#include "update/UpdateEnvironment.h"

#include <functional>

namespace update {

// The real environment: files and processes through POSIX, the clock since
// boot; the message box and the close request are handed in by the login
// dialog, which owns both.
class PosixUpdateEnvironment : public UpdateEnvironment {
 public:
  using MessageFunction = std::function<void(const std::u16string& text, const std::u16string& caption)>;
  using CloseFunction = std::function<void()>;

  PosixUpdateEnvironment(MessageFunction showMessage, CloseFunction postClose);

  uint32_t TickCount() override;
  std::filesystem::path ExecutablePath() override;
  bool FolderWritable(const std::filesystem::path& folder) override;
  bool DeleteFile(const std::filesystem::path& file) override;
  bool RenameFile(const std::filesystem::path& from, const std::filesystem::path& to) override;
  bool MakeExecutable(const std::filesystem::path& file) override;
  bool StartProgram(const std::filesystem::path& program) override;
  void ShowMessage(const std::u16string& text, const std::u16string& caption) override;
  void PostCloseToLoginDialog() override;
  // A GLib warning in the log domain "tessary".
  void Warn(const std::string& text) override;

 private:
  MessageFunction showMessage_;
  CloseFunction postClose_;
};

}  // namespace update
