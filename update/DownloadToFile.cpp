#include "update/DownloadToFile.h"

#include "update/CurlLibrary.h"

#include "base/SafeFile.h"
#include "base/Text.h"

#include <fcntl.h>
#include <unistd.h>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

namespace update {

namespace {

using Clock = std::chrono::steady_clock;

struct CurlDeleter {
  void operator()(CURL* curl) const { Curl()->easyCleanup(curl); }
};
using CurlHandle = std::unique_ptr<CURL, CurlDeleter>;

// One attempt's state, shared with libcurl's callbacks.
class Transfer {
 public:
  // The body goes to target, or to memory when memory is given.
  Transfer(CURL* curl, const std::filesystem::path& target, const DownloadOptions& options,
           std::string* memory = nullptr, size_t memoryLimit = 0)
      : curl_(curl),
        target_(target),
        options_(options),
        memory_(memory),
        memoryLimit_(memoryLimit),
        lastActivity_(Clock::now()) {}

  ~Transfer() { CloseFile(); }

  static size_t OnHeader(char*, size_t size, size_t count, void* self) {
    static_cast<Transfer*>(self)->lastActivity_ = Clock::now();
    return size * count;
  }

  static size_t OnBody(char* data, size_t size, size_t count, void* self) {
    auto* transfer = static_cast<Transfer*>(self);
    transfer->lastActivity_ = Clock::now();
    return transfer->Write(data, size * count) ? size * count : 0;
  }

  static int OnProgress(void* self, curl_off_t total, curl_off_t received, curl_off_t, curl_off_t) {
    auto* transfer = static_cast<Transfer*>(self);
    if (Clock::now() - transfer->lastActivity_ >= transfer->options_.stallTimeout) {
      transfer->stalled_ = true;
      return 1;  // abort
    }
    if (transfer->options_.idle && !transfer->options_.idle()) {
      transfer->cancelled_ = true;
      return 1;
    }
    // Only the final answer's body counts: no progress for redirects.
    if (transfer->options_.progress && transfer->receivedBody_ &&
        !transfer->options_.progress(static_cast<uint64_t>(received), total > 0 ? static_cast<int64_t>(total) : -1)) {
      transfer->cancelled_ = true;
      return 1;
    }
    return 0;
  }

  long Status() const {
    long status = 0;
    Curl()->easyGetinfo(curl_, CURLINFO_RESPONSE_CODE, &status);
    return status;
  }

  // Creates (or truncates) the target; only ever called after a 200.
  bool OpenFile() {
    if (fd_ >= 0 || memory_) return true;
    fd_ = ::open(target_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
      FileError("cannot be created");
      return false;
    }
    created_ = true;
    return true;
  }

  // A body that announced its length must have brought all of it.
  bool HasAnnouncedLength() const {
    curl_off_t announced = -1;
    if (Curl()->easyGetinfo(curl_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced) != CURLE_OK) return true;
    return announced < 0 || static_cast<uint64_t>(announced) == received_;
  }

  // Writes what is gathered and closes the file; false when any of it
  // did not reach the file.
  bool CloseFile() {
    if (fd_ < 0) return true;
    const bool flushed = Flush();
    const bool closed = ::close(fd_) == 0;
    if (!closed && flushed) FileError("cannot be written");
    fd_ = -1;
    return flushed && closed;
  }

  void RemovePartialFile() {
    pending_.clear();
    CloseFile();
    if (created_) {
      std::error_code ignored;
      std::filesystem::remove(target_, ignored);
    }
  }

  bool Stalled() const { return stalled_; }
  bool Cancelled() const { return cancelled_; }
  bool FileFailed() const { return fileFailed_; }
  const std::string& FileFailure() const { return fileFailure_; }
  bool StatusRejected() const { return statusRejected_; }
  bool ReceivedAnything() const { return receivedBody_; }

 private:
  bool Write(const char* data, size_t size) {
    receivedBody_ = true;
    received_ += size;
    if (memory_) {
      if (Status() != 200) {
        statusRejected_ = true;
        return false;
      }
      if (memory_->size() + size > memoryLimit_) return false;
      memory_->append(data, size);
      return true;
    }
    if (fd_ < 0) {
      // Bodies of redirects are skipped by libcurl, so the first body
      // byte belongs to the final answer: its status decides.
      if (Status() != 200) {
        statusRejected_ = true;
        return false;
      }
      if (!OpenFile()) return false;
      pending_.reserve(kWriteBatch);
    }
    // The chunks of up to chunkSize bytes are gathered and written in
    // batches: one system call per batch instead of one per chunk.
    if (pending_.size() + size > kWriteBatch && !Flush()) return false;
    if (size >= kWriteBatch) return WriteAll(data, size);
    pending_.insert(pending_.end(), data, data + size);
    return true;
  }

  bool Flush() {
    const bool written = WriteAll(pending_.data(), pending_.size());
    pending_.clear();
    return written;
  }

  bool WriteAll(const char* data, size_t size) {
    if (base::WriteAll(fd_, std::string_view(data, size))) return true;
    FileError("cannot be written");
    return false;
  }

  void FileError(const char* what) {
    const int error = errno;
    fileFailed_ = true;
    fileFailure_ = target_.string() + " " + what + ": " + std::strerror(error);
  }

  static constexpr size_t kWriteBatch = 256 * 1024;

  CURL* curl_;
  const std::filesystem::path& target_;
  const DownloadOptions& options_;
  std::string* memory_;
  size_t memoryLimit_;
  Clock::time_point lastActivity_;
  uint64_t received_ = 0;
  std::string fileFailure_;
  bool cancelled_ = false;
  int fd_ = -1;
  std::vector<char> pending_;
  bool created_ = false;
  bool receivedBody_ = false;
  bool stalled_ = false;
  bool fileFailed_ = false;
  bool statusRejected_ = false;
};

// Only absolute http addresses; libcurl would otherwise guess a scheme.
bool IsHttpAddress(const std::string& url) {
  static constexpr char kScheme[] = "http://";
  if (url.size() < sizeof kScheme - 1) return false;
  for (size_t i = 0; i + 1 < sizeof kScheme; ++i)
    if (std::tolower(static_cast<unsigned char>(url[i])) != kScheme[i]) return false;
  return true;
}

bool IsConnectFailure(CURLcode code) {
  // Without an overall time limit, a time-out can only come from connecting.
  return code == CURLE_COULDNT_CONNECT || code == CURLE_COULDNT_RESOLVE_HOST || code == CURLE_COULDNT_RESOLVE_PROXY ||
         code == CURLE_OPERATION_TIMEDOUT;
}

void Configure(CURL* curl, const std::string& url, const DownloadOptions& options, Transfer& transfer) {
  const auto setopt = Curl()->easySetopt;
  setopt(curl, CURLOPT_URL, url.c_str());
  // Plain http as addressed; redirects may move to https.
  setopt(curl, CURLOPT_PROTOCOLS_STR, "http");
  setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  setopt(curl, CURLOPT_MAXREDIRS, 10L);
  setopt(curl, CURLOPT_HTTPGET, 1L);
  setopt(curl, CURLOPT_USERAGENT, options.userAgent.c_str());
  setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options.connectTimeout.count()));
  setopt(curl, CURLOPT_NOSIGNAL, 1L);
  setopt(curl, CURLOPT_BUFFERSIZE, static_cast<long>(options.chunkSize));
  setopt(curl, CURLOPT_HEADERFUNCTION, &Transfer::OnHeader);
  setopt(curl, CURLOPT_HEADERDATA, &transfer);
  setopt(curl, CURLOPT_WRITEFUNCTION, &Transfer::OnBody);
  setopt(curl, CURLOPT_WRITEDATA, &transfer);
  setopt(curl, CURLOPT_XFERINFOFUNCTION, &Transfer::OnProgress);
  setopt(curl, CURLOPT_XFERINFODATA, &transfer);
  setopt(curl, CURLOPT_NOPROGRESS, 0L);
  // The proxy comes from http_proxy / no_proxy, which libcurl reads itself.
}

}  // namespace

namespace {

DownloadResult Run(const std::u16string& address, const std::filesystem::path& target, std::string* memory,
                   size_t memoryLimit, UpdateEnvironment& environment, const DownloadOptions& options,
                   std::string* detail) {
  if (!Curl()) return DownloadResult::ConnectFailed;
  const std::string url = base::ToUtf8(address);
  if (!IsHttpAddress(url)) return DownloadResult::ConnectFailed;

  for (int attempt = 0;; ++attempt) {
    CurlHandle curl(Curl()->easyInit());
    if (!curl) return DownloadResult::ConnectFailed;
    if (memory) memory->clear();
    Transfer transfer(curl.get(), target, options, memory, memoryLimit);
    Configure(curl.get(), url, options, transfer);

    const CURLcode code = Curl()->easyPerform(curl.get());
    if (IsConnectFailure(code) && !transfer.ReceivedAnything()) {
      if (attempt < options.connectRetries) continue;
      return DownloadResult::ConnectFailed;
    }

    const long status = transfer.Status();
    if (transfer.StatusRejected() || (status != 0 && status != 200)) {
      transfer.RemovePartialFile();
      environment.ShowMessage(kDownloadFailedText, kDownloadFailedCaption);
      return DownloadResult::StatusNotOk;
    }
    if (code == CURLE_OK && transfer.HasAnnouncedLength()) {
      // An empty body never reached the write callback.
      if (transfer.OpenFile() && transfer.CloseFile()) return DownloadResult::Complete;
      transfer.RemovePartialFile();
      if (detail) *detail = transfer.FileFailure();
      return DownloadResult::FileFailed;
    }
    transfer.RemovePartialFile();
    if (memory) memory->clear();
    if (transfer.FileFailed()) {
      if (detail) *detail = transfer.FileFailure();
      return DownloadResult::FileFailed;
    }
    if (transfer.Cancelled()) return DownloadResult::Cancelled;
    if (transfer.Stalled()) return DownloadResult::Stalled;
    if (code == CURLE_URL_MALFORMAT || code == CURLE_UNSUPPORTED_PROTOCOL) return DownloadResult::ConnectFailed;
    return DownloadResult::TransferFailed;
  }
}

}  // namespace

DownloadResult Download(const std::u16string& address, const std::filesystem::path& target,
                        UpdateEnvironment& environment, const DownloadOptions& options, std::string* detail) {
  return Run(address, target, nullptr, 0, environment, options, detail);
}

DownloadResult DownloadToMemory(const std::u16string& address, std::string& body, size_t limit,
                                UpdateEnvironment& environment, const DownloadOptions& options) {
  return Run(address, {}, &body, limit, environment, options, nullptr);
}

std::string DescribeFailure(DownloadResult result, const std::string& detail) {
  switch (result) {
    case DownloadResult::Complete: return "complete";
    case DownloadResult::ConnectFailed: return "no connection";
    case DownloadResult::StatusNotOk: return "the server did not answer 200";
    case DownloadResult::FileFailed: return detail.empty() ? "the file cannot be written" : detail;
    case DownloadResult::TransferFailed: return "the transfer broke off or was cut short";
    case DownloadResult::Stalled: return "nothing arrived for too long";
    case DownloadResult::Cancelled: return "cancelled";
  }
  return "failed";
}

bool DownloadToFile(const std::u16string& address, const std::filesystem::path& target, UpdateEnvironment& environment,
                    const DownloadOptions& options) {
  return Download(address, target, environment, options) == DownloadResult::Complete;
}

}  // namespace update
