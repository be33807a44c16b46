#include "server/activation_sizes.hpp"

#include <unistd.h>

#include "server/media_size.hpp"

namespace velmoradine::devserver {

namespace {

std::optional<PixelSize> readSize(const Storage& storage, const ShareFile& file) {
  int descriptor = storage.openForReading(file.storageKey);
  if (descriptor < 0) return std::nullopt;
  auto size =
      file.role == FileRole::videoContent ? mp4DisplaySize(descriptor) : jpegSize(descriptor);
  ::close(descriptor);
  return size;
}

}  // namespace

void recordActivatedSizes(Database& database, const Storage& storage, std::int64_t applicationId,
                          std::string_view accessToken) {
  for (const auto& file : database.activeFiles(applicationId, accessToken)) {
    if (auto size = readSize(storage, file)) database.recordMediaSize(file.storageKey, *size);
  }
}

}  // namespace velmoradine::devserver
