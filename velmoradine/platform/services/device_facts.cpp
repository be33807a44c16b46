#include "velmoradine/platform/services/device_facts.hpp"

#include <sys/utsname.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <fstream>

#include "velmoradine/platform/foundation/digest.hpp"

namespace velmoradine::device_facts {
namespace {

// The kit's own namespace for vendor identifiers; fixed forever, since
// changing it would change every device's identifier.
const UUID kVendorNamespace = *UUID::parse("5B0E6C1A-3D7F-4E29-9A41-C8D2F7B36E15");

std::optional<utsname> systemName() {
  utsname name{};
  if (uname(&name) != 0) return std::nullopt;
  return name;
}

std::string nonZeroBytes(const char* field, std::size_t size) {
  std::string text;
  for (std::size_t i = 0; i < size; ++i) {
    if (field[i] != '\0') text += field[i];
  }
  return text;
}

// A machine identifier as machine-id(5) defines it: 32 hexadecimal digits on
// one line. Anything else ("uninitialized" on a first boot, an empty file)
// identifies nothing.
std::optional<std::string> readMachineId(const std::filesystem::path& file) {
  std::ifstream stream(file);
  if (!stream) return std::nullopt;
  std::string line;
  std::getline(stream, line);
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
    line.pop_back();
  }
  if (line.size() != 32) return std::nullopt;
  if (!std::all_of(line.begin(), line.end(), [](unsigned char c) { return std::isxdigit(c); })) {
    return std::nullopt;
  }
  std::transform(line.begin(), line.end(), line.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return line;
}

}  // namespace

std::string machineIdentifier() {
  std::optional<utsname> name = systemName();
  if (!name) return {};
  return nonZeroBytes(name->machine, sizeof name->machine);
}

std::optional<OperatingSystemVersion> operatingSystemVersion() {
  std::optional<utsname> name = systemName();
  if (!name) return std::nullopt;
  return parseKernelRelease(nonZeroBytes(name->release, sizeof name->release));
}

std::optional<OperatingSystemVersion> parseKernelRelease(std::string_view release) {
  const auto startsWithDigit = [](std::string_view text) {
    return !text.empty() && std::isdigit(static_cast<unsigned char>(text.front()));
  };
  if (!startsWithDigit(release)) return std::nullopt;
  std::array<long, 3> parts{};
  std::string_view rest = release;
  for (std::size_t index = 0; index < parts.size(); ++index) {
    if (index > 0) {
      if (rest.empty() || rest.front() != '.' || !startsWithDigit(rest.substr(1))) break;
      rest.remove_prefix(1);
    }
    auto [next, error] = std::from_chars(rest.data(), rest.data() + rest.size(), parts[index]);
    if (error != std::errc()) return std::nullopt;
    rest.remove_prefix(static_cast<std::size_t>(next - rest.data()));
  }
  return OperatingSystemVersion{parts[0], parts[1], parts[2]};
}

std::optional<UUID> identifierForVendor(const std::optional<std::string>& bundleIdentifier,
                                        const std::filesystem::path& machineIdFile) {
  if (!bundleIdentifier || bundleIdentifier->empty()) return std::nullopt;
  std::optional<std::string> machineId = readMachineId(machineIdFile);
  if (!machineId) return std::nullopt;
  return nameBasedUUID(kVendorNamespace, *machineId + "/" + *bundleIdentifier);
}

UUID nameBasedUUID(const UUID& space, std::string_view name) {
  std::string input(space.bytes().begin(), space.bytes().end());
  input.append(name);
  const auto digest =
      digestOf(DigestAlgorithm::sha1,
               std::span(reinterpret_cast<const std::uint8_t*>(input.data()), input.size()));
  UUID::Bytes bytes{};
  if (digest) std::copy_n(digest->begin(), bytes.size(), bytes.begin());
  bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x50);
  bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
  return UUID(bytes);
}

}  // namespace velmoradine::device_facts
