#pragma once
// The self-update at start: version check, download, swap and restart.

#include "update/DownloadToFile.h"
#include "update/UpdateEnvironment.h"
#include "update/UpdateSettings.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace update {

inline constexpr char16_t kUpdateDescriptionPath[] = u"/derodoz/hollinzarek/zarekupdate.ini";
// Side files beside the running program, whatever the program is called.
inline constexpr char kPreviousExecutableName[] = "zarek_.exe";
inline constexpr char kNewExecutableName[] = "zarek_new.exe";
inline constexpr char kDescriptionCopyName[] = "zarekupdate.ini";
inline constexpr char16_t kSignatureSuffix[] = u".minisig";
inline constexpr size_t kSignatureLimit = 64 * 1024;

inline constexpr char16_t kUpdateSection[] = u"LoginUpdate";
inline constexpr char16_t kVersionKey[] = u"VersionId";
inline constexpr char16_t kAddressKey[] = u"downloadUrl";
inline constexpr size_t kAddressBufferSize = 260;

inline constexpr char16_t kUpdatedText[] = u"游戏已经更新完成，点击确定后将重新启动游戏";
inline constexpr char16_t kUpdatedCaption[] = u"提示";

// How a check ended; the login dialog only cares whether it returned.
enum class UpdateOutcome {
  NoFolder,           // the executable's file is unknown: nothing touched
  FolderNotWritable,  // no update can be applied there: nothing fetched
  DescriptionFailed,  // the update description could not be fetched
  UpToDate,           // no newer version, or no usable address
  DownloadFailed,     // the new program was not fetched completely
  NotAProgram,        // what was fetched is no whole program for this machine
  SignatureRefused,   // a key is built in and the signature does not hold
  Cancelled,          // the user closed the client during a download
  SwapFailed,         // a rename failed; the old program is back in place
  Installed,          // swapped, told the user, restarted, close posted
};

// "?" and the tick count as a signed 32-bit number: after 24.8 days of
// uptime it reads "?-2147…".
std::u16string TickSuffix(uint32_t tickCount);

// The update address must name ".exe" somewhere after its first character.
bool NamesExecutable(std::u16string_view address);

// The self-update check run once from the login dialog's first paint.
// Works on the running executable's own file and folder, swaps
// all-or-nothing, refuses anything that is not a whole program for this
// machine and, when a public key is built in, anything not signed with it.
// Every way an update fails to apply is logged with one warning.
class UpdateCheck {
 public:
  UpdateCheck(UpdateEnvironment& environment, std::u16string resourceHost, int32_t builtInVersion,
              DownloadOptions download = {}, std::string publicKey = {});
  UpdateCheck(const UpdateCheck&) = delete;
  UpdateCheck& operator=(const UpdateCheck&) = delete;

  UpdateOutcome Run();

 private:
  UpdateOutcome Check();
  UpdateOutcome Install(const std::u16string& address, const std::u16string& suffix);
  UpdateOutcome Fail(UpdateOutcome outcome, std::string cause);
  std::string CheckSignature(const std::u16string& address, const std::u16string& suffix,
                             const std::filesystem::path& program, bool& cancelled);

  UpdateEnvironment& environment_;
  std::u16string resourceHost_;
  int32_t builtInVersion_;
  DownloadOptions download_;
  std::string publicKey_;
  std::filesystem::path running_;
  std::filesystem::path folder_;
  std::string warning_;
};

// Entry point for the login dialog: blocks until the check is over.
UpdateOutcome CheckForUpdate(UpdateEnvironment& environment, const UpdateSettings& settings);

}  // namespace update
