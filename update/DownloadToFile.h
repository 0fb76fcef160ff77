#pragma once

#include "update/UpdateEnvironment.h"

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>

namespace tessary::update {

// Shown with a single OK button when the server answers other than 200.
inline constexpr char16_t kDownloadFailedText[] = u"无法下载文件。请检查网络后重试。";
// That message box carries the application's name, as a framework message box does.
inline constexpr char16_t kDownloadFailedCaption[] = u"zarek";

struct DownloadOptions {
    std::chrono::milliseconds connectTimeout{2000};
    int connectRetries = 1;  // further attempts after a failed connection
    // A transfer that receives nothing for this long is given up.
    std::chrono::milliseconds stallTimeout{30000};
    std::string userAgent = "Tessary/1001";
    size_t chunkSize = 10240;  // largest piece read and written at once
};

enum class DownloadResult {
    Complete,        // the whole body of a 200 answer is in the target file
    ConnectFailed,   // no connection (after the retry), or a malformed address
    StatusNotOk,     // answered with another status; the user was told
    FileFailed,      // the target file could not be created or written
    TransferFailed,  // the connection broke or the body was cut short
    Stalled,         // nothing arrived for stallTimeout
};

// Fetches address with a GET and streams a 200 answer's body into target.
// The target is created only once the status is known to be 200; a transfer
// that fails after that removes the partial file again.
DownloadResult Download(const std::u16string& address, const std::filesystem::path& target,
                        UpdateEnvironment& environment, const DownloadOptions& options);

// True exactly when Download gives Complete.
bool DownloadToFile(const std::u16string& address, const std::filesystem::path& target,
                    UpdateEnvironment& environment, const DownloadOptions& options);

} // namespace tessary::update
