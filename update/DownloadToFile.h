#pragma once
// HTTP downloads (libcurl) into a file or into memory, with stall, cancel and progress.

#include "update/UpdateEnvironment.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace update {

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
  // Called often during the whole transfer, connecting and waiting
  // included; false cancels it.
  std::function<bool()> idle;
  // Called while a body arrives with the bytes received so far and the
  // announced size (-1 when unknown); false cancels the transfer.
  std::function<bool(uint64_t received, int64_t total)> progress;
};

enum class DownloadResult {
  Complete,        // the whole body of a 200 answer is in the target file
  ConnectFailed,   // no connection (after the retry), or a malformed address
  StatusNotOk,     // answered with another status; the user was told
  FileFailed,      // the target file could not be created or written
  TransferFailed,  // the connection broke or the body was cut short
  Stalled,         // nothing arrived for stallTimeout
  Cancelled,       // the idle or progress function asked to stop
};

// Fetches address with a GET and streams a 200 answer's body into target.
// The target is created only once the status is known to be 200; a transfer
// that fails after that removes the partial file again.
// detail, when given, receives the system's reason for a file failure.
DownloadResult Download(const std::u16string& address, const std::filesystem::path& target,
                        UpdateEnvironment& environment, const DownloadOptions& options, std::string* detail = nullptr);

// Download into memory, for small files such as a signature: more than
// limit bytes is a failed transfer. No file is written.
DownloadResult DownloadToMemory(const std::u16string& address, std::string& body, size_t limit,
                                UpdateEnvironment& environment, const DownloadOptions& options);

// Why a download failed, for the log ("the file … cannot be written: …").
std::string DescribeFailure(DownloadResult result, const std::string& detail);

// True exactly when Download gives Complete.
bool DownloadToFile(const std::u16string& address, const std::filesystem::path& target, UpdateEnvironment& environment,
                    const DownloadOptions& options);

}  // namespace update
