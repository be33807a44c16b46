#pragma once

// What the link page, the embeddable player and the oEmbed reply say about a
// share: its addresses, the title people see and the sizes to show it at.
// Pure functions, safe from any thread.

#include <string>
#include <string_view>

#include "server/database.hpp"

namespace velmoradine::devserver {

struct ShareAddresses {
  std::string page;
  std::string video;
  std::string preview;
  std::string embed;
};

// The addresses of the share `linkId` under the base address `base` ("http://h:p/").
ShareAddresses shareAddresses(std::string_view base, std::string_view linkId);

// The share's title, or for a blank one a title naming the application.
std::string displayTitle(const PublicShare& share);
std::string shareDescription(const PublicShare& share);

// True for the http and https addresses a page may link to.
bool isWebAddress(std::string_view address);

// Percent-encodes everything but RFC 3986's unreserved characters, for a
// query parameter's value.
std::string percentEncode(std::string_view text);

}  // namespace velmoradine::devserver
