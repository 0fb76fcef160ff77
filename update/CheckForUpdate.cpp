#include "update/CheckForUpdate.h"

#include "update/ExecutableCheck.h"
#include "update/ProfileReader.h"

#include <string>

namespace tessary::update {

namespace fs = std::filesystem;

std::u16string TickSuffix(uint32_t tickCount) {
    const std::string digits = std::to_string(static_cast<int32_t>(tickCount));
    return u"?" + std::u16string(digits.begin(), digits.end());
}

bool NamesExecutable(std::u16string_view address) {
    const size_t at = address.find(u".exe");
    return at != std::u16string_view::npos && at > 0;
}

UpdateCheck::UpdateCheck(UpdateEnvironment& environment, std::u16string resourceHost,
                         int32_t builtInVersion, DownloadOptions download)
    : environment_(environment),
      resourceHost_(std::move(resourceHost)),
      builtInVersion_(builtInVersion),
      download_(std::move(download)) {}

UpdateOutcome UpdateCheck::Run() {
    const std::u16string suffix = TickSuffix(environment_.TickCount());
    // The executable's own folder, wherever the program was started from.
    const fs::path folder = environment_.ExecutableFolder();
    if (folder.empty()) return UpdateOutcome::NoFolder;

    const fs::path descriptionCopy = folder / kDescriptionCopyName;
    environment_.DeleteFile(folder / kPreviousExecutableName);
    environment_.DeleteFile(descriptionCopy);

    const std::u16string descriptionAddress =
        u"http://" + resourceHost_ + kUpdateDescriptionPath + suffix;
    if (!DownloadToFile(descriptionAddress, descriptionCopy, environment_, download_))
        return UpdateOutcome::DescriptionFailed;

    const ProfileReader description = ProfileReader::FromFile(descriptionCopy);
    const auto servedVersion =
        static_cast<int32_t>(description.GetInt(kUpdateSection, kVersionKey, 0));
    const std::u16string address =
        description.GetString(kUpdateSection, kAddressKey, u"", kAddressBufferSize) + suffix;

    UpdateOutcome outcome = UpdateOutcome::UpToDate;
    if (servedVersion > builtInVersion_ && NamesExecutable(address)) {
        environment_.DeleteFile(descriptionCopy);
        outcome = Install(address, folder);
    }
    environment_.DeleteFile(descriptionCopy);
    return outcome;
}

UpdateOutcome UpdateCheck::Install(const std::u16string& address, const fs::path& folder) {
    const fs::path running = folder / kRunningExecutableName;
    const fs::path previous = folder / kPreviousExecutableName;
    const fs::path fresh = folder / kNewExecutableName;

    if (!DownloadToFile(address, fresh, environment_, download_)) {
        environment_.DeleteFile(fresh);
        return UpdateOutcome::DownloadFailed;
    }
    // An empty body, a proxy's page or another machine's program must never
    // take the place of the working one.
    if (!IsProgramFileForThisPlatform(fresh) || !environment_.MakeExecutable(fresh)) {
        environment_.DeleteFile(fresh);
        return UpdateOutcome::NotAProgram;
    }

    // All or nothing: either the new program is "zarek.exe" and the old one
    // "zarek_.exe", or everything is as it was.
    if (!environment_.RenameFile(running, previous)) {
        environment_.DeleteFile(fresh);
        return UpdateOutcome::SwapFailed;
    }
    if (!environment_.RenameFile(fresh, running)) {
        environment_.RenameFile(previous, running);
        environment_.DeleteFile(fresh);
        return UpdateOutcome::SwapFailed;
    }

    environment_.ShowMessage(kUpdatedText, kUpdatedCaption);
    environment_.StartProgram(running);
    environment_.PostCloseToLoginDialog();
    return UpdateOutcome::Installed;
}

UpdateOutcome CheckForUpdate(UpdateEnvironment& environment, const UpdateSettings& settings) {
    return UpdateCheck(environment, settings.resourceHost, settings.builtInVersion,
                       settings.download)
        .Run();
}

} // namespace tessary::update
