#include "update/CheckForUpdate.h"

#include "update/ExecutableCheck.h"
#include "update/ProfileReader.h"
#include "update/Signature.h"

#include "base/Text.h"

#include <string>

namespace update {

namespace fs = std::filesystem;

std::u16string TickSuffix(uint32_t tickCount) {
  const std::string digits = std::to_string(static_cast<int32_t>(tickCount));
  return u"?" + std::u16string(digits.begin(), digits.end());
}

bool NamesExecutable(std::u16string_view address) {
  const size_t at = address.find(u".exe");
  return at != std::u16string_view::npos && at > 0;
}

UpdateCheck::UpdateCheck(UpdateEnvironment& environment, std::u16string resourceHost, int32_t builtInVersion,
                         DownloadOptions download, std::string publicKey)
    : environment_(environment),
      resourceHost_(std::move(resourceHost)),
      builtInVersion_(builtInVersion),
      download_(std::move(download)),
      publicKey_(std::move(publicKey)) {
  download_.idle = [this] { return environment_.KeepAnswering(); };
}

UpdateOutcome UpdateCheck::Run() {
  warning_.clear();
  const UpdateOutcome outcome = Check();
  if (!warning_.empty()) environment_.Warn(warning_);
  return outcome;
}

UpdateOutcome UpdateCheck::Fail(UpdateOutcome outcome, std::string cause) {
  warning_ = std::move(cause);
  return outcome;
}

UpdateOutcome UpdateCheck::Check() {
  const std::u16string suffix = TickSuffix(environment_.TickCount());
  // The executable's own file and folder, wherever the program was
  // started from and whatever it is called.
  running_ = environment_.ExecutablePath();
  if (running_.empty()) return Fail(UpdateOutcome::NoFolder, "the running program's file is unknown");
  folder_ = running_.parent_path();

  const fs::path descriptionCopy = folder_ / kDescriptionCopyName;
  environment_.DeleteFile(folder_ / kPreviousExecutableName);
  environment_.DeleteFile(descriptionCopy);

  // A system-wide install: nothing downloaded could ever be swapped in.
  if (!environment_.FolderWritable(folder_))
    return Fail(UpdateOutcome::FolderNotWritable,
                "the program folder " + folder_.string() + " is not writable, so no update can be applied there");

  const std::u16string descriptionAddress = u"http://" + resourceHost_ + kUpdateDescriptionPath + suffix;
  std::string detail;
  const DownloadResult fetched = Download(descriptionAddress, descriptionCopy, environment_, download_, &detail);
  if (fetched == DownloadResult::Cancelled) return UpdateOutcome::Cancelled;
  if (fetched == DownloadResult::FileFailed)
    return Fail(UpdateOutcome::DescriptionFailed, "the update description cannot be stored: " + detail);
  if (fetched != DownloadResult::Complete) return UpdateOutcome::DescriptionFailed;

  const ProfileReader description = ProfileReader::FromFile(descriptionCopy);
  const auto servedVersion = static_cast<int32_t>(description.GetInt(kUpdateSection, kVersionKey, 0));
  const std::u16string address = description.GetString(kUpdateSection, kAddressKey, u"", kAddressBufferSize);

  UpdateOutcome outcome = UpdateOutcome::UpToDate;
  if (servedVersion > builtInVersion_ && NamesExecutable(address + suffix)) {
    environment_.DeleteFile(descriptionCopy);
    outcome = Install(address, suffix);
  }
  environment_.DeleteFile(descriptionCopy);
  return outcome;
}

UpdateOutcome UpdateCheck::Install(const std::u16string& address, const std::u16string& suffix) {
  const fs::path previous = folder_ / kPreviousExecutableName;
  const fs::path fresh = folder_ / kNewExecutableName;

  DownloadOptions options = download_;
  options.progress = [this](uint64_t received, int64_t total) { return environment_.Progress(received, total); };
  std::string detail;
  const DownloadResult fetched = Download(address + suffix, fresh, environment_, options, &detail);
  if (fetched != DownloadResult::Complete) {
    environment_.DeleteFile(fresh);
    if (fetched == DownloadResult::Cancelled) return UpdateOutcome::Cancelled;
    return Fail(UpdateOutcome::DownloadFailed,
                "the new program was not downloaded: " + DescribeFailure(fetched, detail));
  }
  // An empty or cut body, a proxy's page or another machine's program
  // must never take the place of the working one.
  if (!IsProgramFileForThisPlatform(fresh)) {
    environment_.DeleteFile(fresh);
    return Fail(UpdateOutcome::NotAProgram, "the download is not a whole program for this machine");
  }
  if (!publicKey_.empty()) {
    bool cancelled = false;
    std::string refused = CheckSignature(address, suffix, fresh, cancelled);
    if (cancelled || !refused.empty()) environment_.DeleteFile(fresh);
    if (cancelled) return UpdateOutcome::Cancelled;
    if (!refused.empty()) return Fail(UpdateOutcome::SignatureRefused, std::move(refused));
  }
  if (!environment_.MakeExecutable(fresh)) {
    environment_.DeleteFile(fresh);
    return Fail(UpdateOutcome::NotAProgram, "the new program cannot be made runnable");
  }

  // All or nothing: either the new program has the running file's name and
  // the old one is "zarek_.exe", or everything is as it was.
  const std::string cannotRename = "cannot rename ";
  if (!environment_.RenameFile(running_, previous)) {
    environment_.DeleteFile(fresh);
    return Fail(UpdateOutcome::SwapFailed, cannotRename + running_.string() + " to " + previous.string());
  }
  if (!environment_.RenameFile(fresh, running_)) {
    environment_.RenameFile(previous, running_);
    environment_.DeleteFile(fresh);
    return Fail(UpdateOutcome::SwapFailed, cannotRename + fresh.string() + " to " + running_.string());
  }

  environment_.ShowMessage(kUpdatedText, kUpdatedCaption);
  environment_.StartProgram(running_);
  environment_.PostCloseToLoginDialog();
  return UpdateOutcome::Installed;
}

std::string UpdateCheck::CheckSignature(const std::u16string& address, const std::u16string& suffix,
                                        const fs::path& program, bool& cancelled) {
  const std::optional<PublicKey> key = ParsePublicKey(publicKey_);
  if (!key) return "the built-in update public key is malformed";
  // The signature sits beside the program: its address plus ".minisig",
  // fetched with the same tick suffix.
  const std::u16string signatureAddress = address + kSignatureSuffix + suffix;
  std::string signature;
  const DownloadResult fetched =
      DownloadToMemory(signatureAddress, signature, kSignatureLimit, environment_, download_);
  cancelled = fetched == DownloadResult::Cancelled;
  if (fetched != DownloadResult::Complete)
    return "the signature " + base::ToUtf8(signatureAddress) + " was not downloaded: " + DescribeFailure(fetched, {});
  const std::string refused = VerifySignature(program, signature, *key);
  return refused.empty() ? refused : "the new program is refused: " + refused;
}

UpdateOutcome CheckForUpdate(UpdateEnvironment& environment, const UpdateSettings& settings) {
  return UpdateCheck(environment, settings.resourceHost, settings.builtInVersion, settings.download, settings.publicKey)
      .Run();
}

}  // namespace update
