#pragma once
// The text the loading page shows while a new program downloads.

#include <cstdint>
#include <string>

namespace update {

// "正在下载更新 45%，已下载 12.3 MB", or without the percentage when the size
// is unknown (total < 0 or 0).
std::u16string ProgressText(uint64_t received, int64_t total);

}  // namespace update
