#include "server/media.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <variant>
#include <vector>

#include "server/byte_ranges.hpp"
#include "server/crypto.hpp"
#include "server/http_support.hpp"
#include "server/validators.hpp"

namespace velmoradine::devserver {

namespace {

constexpr const char* kImmutable = "public, max-age=31536000, immutable";

// An open file, closed with the last reference.
struct OpenFile {
  explicit OpenFile(int descriptor) : descriptor(descriptor) {}
  ~OpenFile() { ::close(descriptor); }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  int descriptor;
};

// A reply body made of literal text and pieces of the file, in order.
struct FilePiece {
  std::uint64_t offset;
  std::uint64_t length;
};
using BodySegment = std::variant<std::string, FilePiece>;

std::uint64_t segmentLength(const BodySegment& segment) {
  if (const auto* text = std::get_if<std::string>(&segment)) return text->size();
  return std::get<FilePiece>(segment).length;
}

bool writeSegment(const BodySegment& segment, std::uint64_t from, std::uint64_t length,
                  int descriptor, httplib::DataSink& sink) {
  if (const auto* text = std::get_if<std::string>(&segment)) {
    return sink.write(text->data() + from, length);
  }
  std::array<char, 256 * 1024> buffer;
  auto count = ::pread(descriptor, buffer.data(), std::min<std::uint64_t>(length, buffer.size()),
                       static_cast<off_t>(std::get<FilePiece>(segment).offset + from));
  if (count <= 0) return false;
  return sink.write(buffer.data(), static_cast<std::size_t>(count));
}

void provideSegments(httplib::Response& response, std::vector<BodySegment> segments,
                     const std::string& contentType, std::shared_ptr<OpenFile> file,
                     std::shared_ptr<void> slot) {
  std::uint64_t total = 0;
  for (const auto& segment : segments) total += segmentLength(segment);
  if (total == 0) {
    response.set_content("", contentType);
    return;
  }
  response.set_content_provider(
      total, contentType,
      [segments = std::move(segments), file](std::size_t offset, std::size_t,
                                             httplib::DataSink& sink) {
        std::uint64_t start = 0;
        for (const auto& segment : segments) {
          std::uint64_t length = segmentLength(segment);
          if (offset < start + length) {
            return writeSegment(segment, offset - start, start + length - offset, file->descriptor,
                                sink);
          }
          start += length;
        }
        return false;
      },
      [slot = std::move(slot)](bool) {});
}

std::string contentRange(const ByteRange& range, std::uint64_t size) {
  return "bytes " + std::to_string(range.first) + "-" + std::to_string(range.last) + "/" +
         std::to_string(size);
}

std::vector<BodySegment> multipartSegments(const std::vector<ByteRange>& parts, std::uint64_t size,
                                           const std::string& contentType,
                                           const std::string& boundary) {
  std::vector<BodySegment> segments;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    segments.emplace_back(std::string(i == 0 ? "" : "\r\n") + "--" + boundary +
                          "\r\nContent-Type: " + contentType +
                          "\r\nContent-Range: " + contentRange(parts[i], size) + "\r\n\r\n");
    segments.emplace_back(FilePiece{parts[i].first, parts[i].length()});
  }
  segments.emplace_back("\r\n--" + boundary + "--\r\n");
  return segments;
}

Validators validatorsOf(const ShareFile& file, const struct stat& status) {
  return {"\"" + file.checksum + "\"", status.st_mtim.tv_sec};
}

// Only successful replies may be cached: an error must not outlive its cause.
void markImmutable(httplib::Response& response, const Validators& validators) {
  response.set_header("Cache-Control", kImmutable);
  setValidators(response, validators);
}

}  // namespace

std::shared_ptr<void> MediaStreams::tryAcquire() {
  if (active_.fetch_add(1) >= limit_) {
    active_.fetch_sub(1);
    return nullptr;
  }
  return std::shared_ptr<MediaStreams>(
      this, [](MediaStreams* streams) { streams->active_.fetch_sub(1); });
}

bool serveMedia(const httplib::Request& request, httplib::Response& response,
                const Storage& storage, MediaStreams& streams, const ShareFile& file) {
  int descriptor = storage.openForReading(file.storageKey);
  if (descriptor < 0) return false;
  auto open = std::make_shared<OpenFile>(descriptor);
  struct stat status {};
  if (fstat(open->descriptor, &status) != 0) return false;
  auto size = static_cast<std::uint64_t>(status.st_size);
  auto validators = validatorsOf(file, status);
  response.set_header("Accept-Ranges", "bytes");
  switch (evaluatePreconditions(request, validators)) {
    case Precondition::notModified:
      markImmutable(response, validators);
      response.status = 304;
      return true;
    case Precondition::failed:
      response.status = 412;
      return true;
    case Precondition::proceed:
      break;
  }

  RangePlan plan;
  if (request.has_header(kDeferredRangeHeader) && ifRangeHolds(request, validators)) {
    plan = planRanges(request.get_header_value(kDeferredRangeHeader), size);
  }
  if (plan.kind == RangePlan::Kind::unsatisfiable) {
    response.status = 416;
    response.set_header("Content-Range", "bytes */" + std::to_string(size));
    return true;
  }
  auto slot = streams.tryAcquire();
  if (!slot) {
    response.set_header("Retry-After", "1");
    replyError(response, 503, "busy", "Too many files are being sent; try again shortly.");
    return true;
  }
  markImmutable(response, validators);
  if (plan.kind == RangePlan::Kind::whole) {
    response.status = 200;
    provideSegments(response, {FilePiece{0, size}}, file.contentType, open, std::move(slot));
  } else if (plan.parts.size() == 1) {
    response.status = 206;
    response.set_header("Content-Range", contentRange(plan.parts.front(), size));
    const auto& part = plan.parts.front();
    provideSegments(response, {FilePiece{part.first, part.length()}}, file.contentType, open,
                    std::move(slot));
  } else {
    response.status = 206;
    std::string boundary = hexEncode(randomBytes(12));
    provideSegments(response, multipartSegments(plan.parts, size, file.contentType, boundary),
                    "multipart/byteranges; boundary=" + boundary, open, std::move(slot));
  }
  return true;
}

}  // namespace velmoradine::devserver
