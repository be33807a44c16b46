#include "velmoradine/platform/services/desktop_messaging.hpp"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <set>

#include "velmoradine/platform/foundation/file_locations.hpp"
#include "velmoradine/platform/services/desktop_process.hpp"
#include "velmoradine/platform/services/desktop_services_error.hpp"
#include "velmoradine/platform/services/xdg_url_opener.hpp"

namespace velmoradine {
namespace {

std::string encoded(std::string_view text) {
  constexpr std::string_view kHex = "0123456789ABCDEF";
  std::string result;
  for (const unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
      result += static_cast<char>(c);
    } else {
      result += {'%', kHex[c >> 4], kHex[c & 15]};
    }
  }
  return result;
}

// The attachment's own name without any directory part, so a name such as
// "../x" cannot place the file outside the private folder.
std::string safeFilename(const std::string& filename) {
  std::string name = std::filesystem::path(filename).filename().string();
  return name.empty() || name == "." || name == ".." ? "attachment" : name;
}

Result<std::filesystem::path> makePrivateFolder() {
  std::string pattern = (file_locations::temporaryDirectory() / "velmoradine-mail-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return failure(Error::posix(errno, pattern));
  return std::filesystem::path(pattern);
}

Result<void> writeAll(int descriptor, std::span<const std::uint8_t> bytes,
                      const std::filesystem::path& path) {
  while (!bytes.empty()) {
    const ssize_t count = ::write(descriptor, bytes.data(), bytes.size());
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return failure(Error::posix(count < 0 ? errno : EIO, path.string()));
    bytes = bytes.subspan(static_cast<std::size_t>(count));
  }
  return {};
}

// Streams in chunks, so a viewed file is never mapped whole.
Result<void> writeFile(const std::filesystem::path& path, const Data& bytes) {
  const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (descriptor < 0) return failure(Error::posix(errno, path.string()));
  std::array<std::uint8_t, 64 * 1024> chunk;
  Result<void> written;
  for (std::size_t offset = 0; written && offset < bytes.size(); offset += chunk.size()) {
    const std::span<std::uint8_t> part(chunk.data(), std::min(chunk.size(), bytes.size() - offset));
    written = bytes.read(offset, part);
    if (written) written = writeAll(descriptor, part, path);
  }
  if (::close(descriptor) != 0 && written) written = failure(Error::posix(errno, path.string()));
  return written;
}

// Each attachment keeps its own name; a name met again goes into a numbered
// folder of its own.
Result<std::vector<std::filesystem::path>> writeAttachmentsInto(
    const std::filesystem::path& folder, const std::vector<MessageAttachment>& attachments) {
  std::vector<std::filesystem::path> files;
  std::set<std::string> names;
  for (std::size_t index = 0; index < attachments.size(); ++index) {
    const std::string name = safeFilename(attachments[index].filename);
    auto directory = folder;
    if (!names.insert(name).second) {
      directory /= std::to_string(index);
      std::error_code error;
      std::filesystem::create_directory(directory, error);
      if (error) return failure(Error::posix(error.value(), directory.string()));
    }
    files.push_back(directory / name);
    const auto& data = attachments[index].data;
    VELMORADINE_TRY(writeFile(files.back(), data ? *data : Data()));
  }
  return files;
}

void removeFolder(const std::filesystem::path& folder) {
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

}  // namespace

std::string mailtoURI(const std::string& body, const std::vector<std::filesystem::path>& files) {
  std::string uri = "mailto:?body=" + encoded(body);
  for (const auto& file : files) uri += "&attach=" + encoded(file.string());
  return uri;
}

bool DesktopMessaging::canSendText() {
  return XDGURLOpener::handlerForScheme("mailto").has_value();
}

bool DesktopMessaging::canSendAttachments() {
  return canSendText();
}

Result<void> DesktopMessaging::send(const std::string& body,
                                    const std::vector<MessageAttachment>& attachments) {
  const auto handler = XDGURLOpener::handlerForScheme("mailto");
  if (!handler) {
    return failure(Error(DesktopServicesError::noApplication, "x-scheme-handler/mailto"));
  }
  if (attachments.empty()) return desktop_process::launch(*handler, {mailtoURI(body, {})});
  VELMORADINE_ASSIGN_OR_RETURN(const auto folder, makePrivateFolder());
  // Nothing is left behind for a message that did not reach the handler.
  auto files = writeAttachmentsInto(folder, attachments);
  if (!files) {
    removeFolder(folder);
    return failure(files.error());
  }
  auto launched = desktop_process::launch(*handler, {mailtoURI(body, *files)});
  if (!launched) removeFolder(folder);
  return launched;
}

}  // namespace velmoradine
