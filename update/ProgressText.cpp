#include "update/ProgressText.h"

#include <algorithm>
#include <cstdio>

namespace update {

std::u16string ProgressText(uint64_t received, int64_t total) {
  char numbers[64];
  const double megabytes = static_cast<double>(received) / (1024.0 * 1024.0);
  std::u16string text = u"正在下载更新";
  if (total > 0) {
    const uint64_t percent =
        std::min<uint64_t>(100, received / static_cast<uint64_t>(total) * 100 +
                                    received % static_cast<uint64_t>(total) * 100 / static_cast<uint64_t>(total));
    std::snprintf(numbers, sizeof numbers, " %u%%", static_cast<unsigned>(percent));
    text.append(numbers, numbers + std::char_traits<char>::length(numbers));
  }
  std::snprintf(numbers, sizeof numbers, "%.1f MB", megabytes);
  text += u"，已下载 ";
  text.append(numbers, numbers + std::char_traits<char>::length(numbers));
  return text;
}

}  // namespace update
