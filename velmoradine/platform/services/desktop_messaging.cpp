#include "velmoradine/platform/services/desktop_messaging.hpp"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>

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

Result<void> writeFile(const std::filesystem::path& path, const Data& bytes) {
  const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (descriptor < 0) return failure(Error::posix(errno, path.string()));
  std::array<std::uint8_t, 64 * 1024> chunk;
  Result<void> written;
  for (std::size_t offset = 0; written && offset < bytes.size();) {
    const std::size_t size = std::min(chunk.size(), bytes.size() - offset);
    const std::span<std::uint8_t> part(chunk.data(), size);
    written = bytes.read(offset, part);
    for (std::size_t done = 0; written && done < size;) {
      const ssize_t count = ::write(descriptor, part.data() + done, size - done);
      if (count < 0 && errno == EINTR) continue;
      if (count <= 0)
        written = failure(Error::posix(errno, path.string()));
      else
        done += static_cast<std::size_t>(count);
    }
    offset += size;
  }
  if (::close(descriptor) != 0 && written) written = failure(Error::posix(errno, path.string()));
  return written;
}

Result<std::vector<std::filesystem::path>> writeAttachments(
    const std::vector<MessageAttachment>& attachments) {
  if (attachments.empty()) return std::vector<std::filesystem::path>{};
  VELMORADINE_ASSIGN_OR_RETURN(const auto folder, makePrivateFolder());
  std::vector<std::filesystem::path> files;
  for (std::size_t index = 0; index < attachments.size(); ++index) {
    const auto& attachment = attachments[index];
    // A second attachment of the same name goes into a folder of its own.
    auto directory = index == 0 ? folder : folder / std::to_string(index);
    std::error_code error;
    std::filesystem::create_directory(directory, error);
    if (error) return failure(Error::posix(error.value(), directory.string()));
    files.push_back(directory / safeFilename(attachment.filename));
    VELMORADINE_TRY(writeFile(files.back(), attachment.data ? *attachment.data : Data()));
  }
  return files;
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
  VELMORADINE_ASSIGN_OR_RETURN(const auto files, writeAttachments(attachments));
  return desktop_process::launch(*handler, {mailtoURI(body, files)});
}

}  // namespace velmoradine
