#pragma once

// An absolute URL, validated and split into components by libcurl's URL
// parser. A URL made from text keeps that text as its `absoluteString`
// unchanged; a URL resolved against a base carries the resolved text.
//
// Values are immutable and cheap to copy; safe to share between threads.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace velmoradine {

class URL {
 public:
  // The URL for `text` when it is an absolute URL (a scheme, "://" and, for
  // everything but file URLs, a host). Relative references, spaces and other
  // characters that must be escaped give nothing.
  static std::optional<URL> parse(std::string_view text);
  // `text` resolved against `base` by the usual rules for relative
  // references: "share/activate" against "https://h/v1/api/sdk/" gives
  // "https://h/v1/api/sdk/share/activate"; an absolute `text` stands alone.
  static std::optional<URL> parse(std::string_view text, const URL& base);
  // The file URL of `path`, made absolute against the current directory.
  static URL fileURL(const std::filesystem::path& path);

  const std::string& absoluteString() const { return state_->text; }
  // Lower case, without the colon.
  const std::string& scheme() const { return state_->scheme; }
  const std::optional<std::string>& host() const { return state_->host; }
  // The explicit port, when the text has one.
  std::optional<std::uint16_t> port() const { return state_->port; }
  // The path with percent-escapes decoded ("/" when the text has none).
  const std::string& path() const { return state_->path; }
  const std::string& percentEncodedPath() const { return state_->encodedPath; }
  // The query and fragment as written, without "?" and "#".
  const std::optional<std::string>& query() const { return state_->query; }
  const std::optional<std::string>& fragment() const { return state_->fragment; }

  bool isFileURL() const { return state_->scheme == "file"; }
  // The decoded path as a file-system path (meaningful for file URLs).
  std::filesystem::path filePath() const { return std::filesystem::path(path()); }
  // The last segment of the decoded path, ignoring a trailing slash; "/"
  // for the root path.
  std::string lastPathComponent() const;
  // What follows the last "." of the last path component, or the empty text.
  std::string pathExtension() const;
  // This URL with `component` appended to its path as one more segment
  // (escaped as a path segment), keeping query and fragment.
  URL appendingPathComponent(std::string_view component) const;

  friend bool operator==(const URL& a, const URL& b) {
    return a.absoluteString() == b.absoluteString();
  }

 private:
  struct State {
    std::string text;
    std::string scheme;
    std::optional<std::string> host;
    std::optional<std::uint16_t> port;
    std::string path;
    std::string encodedPath;
    std::optional<std::string> query;
    std::optional<std::string> fragment;
  };
  explicit URL(std::shared_ptr<const State> state) : state_(std::move(state)) {}
  static std::optional<URL> make(std::string_view text, const URL* base);

  std::shared_ptr<const State> state_;
};

// Characters that may stand unescaped in a part of a URL.
enum class URLCharacterSet {
  // Letters, digits and "!$&'()*+,-./:;=?@_~".
  urlQueryAllowed,
  // Letters, digits and "!$&'()*+,-.:;=@_~" (no "/", "?" or "#").
  urlPathSegmentAllowed,
};

// `text` with every byte outside `allowed` written as "%XX" (upper-case hex);
// multi-byte UTF-8 characters are escaped byte by byte.
std::string addingPercentEncoding(std::string_view text, URLCharacterSet allowed);
// `text` with "%XX" escapes decoded; nothing when an escape is malformed.
std::optional<std::string> removingPercentEncoding(std::string_view text);

}  // namespace velmoradine

template <>
struct std::hash<velmoradine::URL> {
  std::size_t operator()(const velmoradine::URL& url) const noexcept {
    return std::hash<std::string>()(url.absoluteString());
  }
};
