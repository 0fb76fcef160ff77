#pragma once
// What the self-update needs from the world around it, as one interface.

#include <cstdint>
#include <filesystem>
#include <string>

namespace update {

// Everything the self-update needs from the world around it, so that the
// update's logic can run against a real folder and a real server in tests
// while the message box and the close request stay with the login dialog.
class UpdateEnvironment {
 public:
  virtual ~UpdateEnvironment() = default;

  // Milliseconds since the system started, wrapping at 2^32.
  virtual uint32_t TickCount() = 0;

  // The running executable's own file, whatever it is called ("zarek.exe",
  // "zarek", "tessary"); empty when unknown.
  virtual std::filesystem::path ExecutablePath() = 0;

  // True when files can be created, renamed and removed in the folder.
  virtual bool FolderWritable(const std::filesystem::path& folder) = 0;

  // True when the file was removed; a missing file gives false.
  virtual bool DeleteFile(const std::filesystem::path& file) = 0;

  // Renames a file inside one folder; an existing target is replaced.
  virtual bool RenameFile(const std::filesystem::path& from, const std::filesystem::path& to) = 0;

  // Marks a downloaded program as runnable.
  virtual bool MakeExecutable(const std::filesystem::path& file) = 0;

  // Starts a program without arguments; it outlives this process.
  virtual bool StartProgram(const std::filesystem::path& program) = 0;

  // Message box with a single OK button, owned by the login dialog;
  // returns when the user has answered it.
  virtual void ShowMessage(const std::u16string& text, const std::u16string& caption) = 0;

  // Posts WM_CLOSE to the login dialog (it arrives after the check).
  virtual void PostCloseToLoginDialog() = 0;

  // Why an update cannot be applied, for the log (one warning per check).
  virtual void Warn(const std::string& text) = 0;

  // Called often while any download runs, so the windows can keep
  // answering. False cancels the download (the user closed the program).
  virtual bool KeepAnswering() { return true; }

  // Progress of the new program's download: bytes received and the
  // announced size (-1 when unknown). False cancels the download.
  virtual bool Progress(uint64_t received, int64_t total) {
    (void)received;
    (void)total;
    return true;
  }
};

}  // namespace update
