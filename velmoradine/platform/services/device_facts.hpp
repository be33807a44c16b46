#pragma once

// What the kit can learn about the device it runs on, from Linux's own
// sources: the hardware identifier and kernel release from uname(), and a
// per-vendor identifier derived from the machine's identity.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "velmoradine/platform/foundation/uuid.hpp"

namespace velmoradine {

struct OperatingSystemVersion {
  long majorVersion = 0;
  long minorVersion = 0;
  long patchVersion = 0;

  friend bool operator==(const OperatingSystemVersion&, const OperatingSystemVersion&) = default;
};

namespace device_facts {

// The "machine" field of uname(): the text of its non-zero bytes, in order
// ("x86_64", "aarch64"); empty when uname() fails.
std::string machineIdentifier();

// The running kernel's release as an operating-system version; nothing when
// uname() fails or the release does not start with a number.
std::optional<OperatingSystemVersion> operatingSystemVersion();

// The leading "major.minor.patch" numbers of a kernel release text such as
// "6.1.0-18-amd64" or "5.15"; missing parts read 0, anything after the
// numbers is ignored. Nothing when the text does not start with a number.
std::optional<OperatingSystemVersion> parseKernelRelease(std::string_view release);

// A stable identifier shared by the apps of one vendor on one machine, as a
// phone's identifier for vendor is: the name-based (SHA-1, version 5) UUID of
// the machine identifier and the app's bundle identifier, so the machine's
// own identifier never leaves it. Nothing when the machine-id file is missing
// or not a machine identifier (32 hexadecimal digits), or when there is no
// bundle identifier.
std::optional<UUID> identifierForVendor(
    const std::optional<std::string>& bundleIdentifier,
    const std::filesystem::path& machineIdFile = "/etc/machine-id");

// The name-based UUID of `name` in the namespace `space` (RFC 4122, version 5).
UUID nameBasedUUID(const UUID& space, std::string_view name);

}  // namespace device_facts
}  // namespace velmoradine
