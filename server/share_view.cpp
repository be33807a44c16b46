#include "server/share_view.hpp"

#include <algorithm>
#include <cctype>

namespace velmoradine::devserver {

ShareAddresses shareAddresses(std::string_view base, std::string_view linkId) {
  std::string page = std::string(base) + "s/" + std::string(linkId);
  return {page, page + "/video", page + "/preview", page + "/embed"};
}

std::string displayTitle(const PublicShare& share) {
  bool blank =
      std::ranges::all_of(share.title, [](unsigned char c) { return std::isspace(c) != 0; });
  return blank ? shareDescription(share) : share.title;
}

std::string shareDescription(const PublicShare& share) {
  return "A video shared from " + share.application.slug;
}

bool isWebAddress(std::string_view address) {
  return address.starts_with("https://") || address.starts_with("http://");
}

std::string percentEncode(std::string_view text) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string encoded;
  for (unsigned char c : text) {
    bool alphanumeric = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (alphanumeric || c == '-' || c == '.' || c == '_' || c == '~') {
      encoded += static_cast<char>(c);
      continue;
    }
    encoded += '%';
    encoded += kDigits[c >> 4];
    encoded += kDigits[c & 0xf];
  }
  return encoded;
}

}  // namespace velmoradine::devserver
