#include "server/connection_stream.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <ctime>
#include <optional>

#include "server/http_support.hpp"
#include "server/validators.hpp"

namespace velmoradine::devserver {

namespace {

constexpr std::size_t kReadChunkBytes = 64 * 1024;
// The library refuses longer request lines with 414; a longer line is not
// waited for.
constexpr std::size_t kMaxRequestLineBytes = 8192;
constexpr auto kCloseLinger = std::chrono::seconds(2);
constexpr std::size_t kMaxLingerDrainBytes = 1024 * 1024;

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view headerName(std::string_view line) {
  auto colon = line.find(':');
  return colon == std::string_view::npos ? std::string_view{} : line.substr(0, colon);
}

// Looks for the blank line that ends a head, within the limits; resumes
// where it stopped, so a head that arrives a byte at a time is scanned once.
class HeadScanner {
 public:
  std::optional<HeadOutcome> scan(std::string_view bytes) {
    for (; checked_ < bytes.size() && checked_ < kMaxRequestHeadBytes; ++checked_) {
      if (bytes[checked_] != '\n') continue;
      std::string_view line = bytes.substr(lineStart_, checked_ - lineStart_);
      if (line.empty() || line == "\r") {
        length_ = checked_ + 1;
        return HeadOutcome::complete;
      }
      if (++lines_ > kMaxRequestHeaderLines + 1) return HeadOutcome::tooLarge;
      lineStart_ = checked_ + 1;
    }
    if (lines_ == 0 && bytes.size() > kMaxRequestLineBytes) return HeadOutcome::uriTooLong;
    if (bytes.size() >= kMaxRequestHeadBytes) return HeadOutcome::tooLarge;
    return std::nullopt;
  }
  std::size_t length() const { return length_; }

 private:
  std::size_t checked_ = 0;
  std::size_t lineStart_ = 0;
  std::size_t lines_ = 0;
  std::size_t length_ = 0;
};

// Hands the Range header to the routes under another name, and drops a
// client's own header of that name.
std::string rewriteHead(std::string_view head) {
  std::string result;
  result.reserve(head.size() + 16);
  while (!head.empty()) {
    auto end = head.find('\n');
    std::string_view line = head.substr(0, end + 1);
    head.remove_prefix(line.size());
    std::string_view name = headerName(line);
    if (equalsIgnoringCase(name, kDeferredRangeHeader)) continue;
    if (equalsIgnoringCase(name, "Range")) {
      result += kDeferredRangeHeader;
      result += line.substr(name.size());
      continue;
    }
    result += line;
  }
  return result;
}

int statusOf(std::string_view head) {
  if (head.size() < 12 || !head.starts_with("HTTP/1.")) return 0;
  int status = 0;
  for (char c : head.substr(9, 3)) status = status * 10 + (c - '0');
  return status;
}

std::string addressText(const sockaddr_storage& address, int& port) {
  std::array<char, INET6_ADDRSTRLEN> text{};
  if (address.ss_family == AF_INET6) {
    const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
    inet_ntop(AF_INET6, &v6.sin6_addr, text.data(), text.size());
    port = ntohs(v6.sin6_port);
  } else {
    const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
    inet_ntop(AF_INET, &v4.sin_addr, text.data(), text.size());
    port = ntohs(v4.sin_port);
  }
  return text.data();
}

}  // namespace

ConnectionStream::ConnectionStream(int socket, const ConnectionOptions& options)
    : socket_(socket), options_(options) {}

bool ConnectionStream::waitFor(short events, Clock::time_point deadline) const {
  for (;;) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd entry{socket_, events, 0};
    int ready = ::poll(&entry, 1, static_cast<int>(std::min<long long>(left, 60000)));
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
}

bool ConnectionStream::fill(Clock::time_point deadline) {
  if (position_ > 0 && position_ == inbound_.size()) {
    inbound_.clear();
    position_ = 0;
  }
  for (;;) {
    if (!waitFor(POLLIN, deadline)) return false;
    std::array<char, kReadChunkBytes> chunk;
    ssize_t count = ::recv(socket_, chunk.data(), chunk.size(), MSG_DONTWAIT);
    if (count > 0) {
      inbound_.append(chunk.data(), static_cast<std::size_t>(count));
      return true;
    }
    if (count == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) return false;
  }
}

HeadOutcome ConnectionStream::receiveHead(Clock::time_point firstByteBy) {
  // Blank lines before a request line are tolerated, as HTTP asks.
  auto skipBlankLines = [this] {
    while (position_ < inbound_.size() &&
           (inbound_[position_] == '\r' || inbound_[position_] == '\n'))
      ++position_;
  };
  skipBlankLines();
  while (buffered() == 0) {
    if (!fill(firstByteBy)) return HeadOutcome::idle;
    skipBlankLines();
  }
  auto deadline = Clock::now() + options_.headerTimeout;
  HeadScanner scanner;
  std::optional<HeadOutcome> outcome;
  while (!(outcome = scanner.scan(std::string_view(inbound_).substr(position_)))) {
    if (!fill(deadline))
      return Clock::now() >= deadline ? HeadOutcome::timedOut : HeadOutcome::idle;
  }
  if (*outcome != HeadOutcome::complete) return *outcome;

  std::string head = rewriteHead(std::string_view(inbound_).substr(position_, scanner.length()));
  inbound_ = head + inbound_.substr(position_ + scanner.length());
  position_ = 0;
  bodyStartsAt_ = delivered_ + head.size();
  bodyStarted_ = Clock::now();
  expectingHead_ = true;
  closeRequested_ = false;
  return HeadOutcome::complete;
}

void ConnectionStream::refuseHead(HeadOutcome outcome) {
  std::string_view status;
  switch (outcome) {
    case HeadOutcome::timedOut:
      status = "408 Request Timeout";
      break;
    case HeadOutcome::tooLarge:
      status = "431 Request Header Fields Too Large";
      break;
    case HeadOutcome::uriTooLong:
      status = "414 URI Too Long";
      break;
    case HeadOutcome::complete:
    case HeadOutcome::idle:
      return;
  }
  std::string reply = "HTTP/1.1 " + std::string(status) +
                      "\r\nDate: " + httpDate(std::time(nullptr)) +
                      "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
  sendAll(reply);
}

void ConnectionStream::closeLingering() {
  // Closing with unread bytes, or while the client is still sending (a head
  // or a body that was refused), resets the connection, and the client could
  // lose the reply it has not read yet. Say we are done, then take (and drop)
  // what it sends until it closes too, for a bounded time and amount.
  ::shutdown(socket_, SHUT_WR);
  auto lingerUntil = Clock::now() + kCloseLinger;
  for (std::size_t drained = 0; drained < kMaxLingerDrainBytes && fill(lingerUntil);) {
    drained += buffered();
    inbound_.clear();
    position_ = 0;
  }
}

ConnectionStream::Clock::time_point ConnectionStream::bodyDeadline() const {
  std::size_t received = delivered_ > bodyStartsAt_ ? delivered_ - bodyStartsAt_ : 0;
  auto earned = std::chrono::milliseconds(received * 1000 / options_.bodyMinBytesPerSecond);
  return bodyStarted_ + options_.bodyTimeout + earned;
}

bool ConnectionStream::is_readable() const {
  return buffered() > 0 || waitFor(POLLIN, bodyDeadline());
}

bool ConnectionStream::is_writable() const {
  return waitFor(POLLOUT, Clock::now() + options_.writeTimeout);
}

ssize_t ConnectionStream::read(char* data, std::size_t size) {
  if (buffered() == 0 && !fill(bodyDeadline())) return -1;
  std::size_t count = std::min(size, buffered());
  std::copy_n(inbound_.data() + position_, count, data);
  position_ += count;
  delivered_ += count;
  return static_cast<ssize_t>(count);
}

bool ConnectionStream::sendAll(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t count = ::send(socket_, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    if (count > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(count));
      continue;
    }
    if (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
    if (!waitFor(POLLOUT, Clock::now() + options_.writeTimeout)) return false;
  }
  return true;
}

// The library sends "Content-Length: 0" with a 304, which HTTP forbids
// unless the full reply would have been empty, and no Date at all.
bool ConnectionStream::writeResponseHead(std::string_view head) {
  int status = statusOf(head);
  if (status >= 100 && status < 200) return sendAll(head);
  expectingHead_ = false;
  auto statusLineEnd = head.find('\n') + 1;
  std::string adjusted(head.substr(0, statusLineEnd));
  head.remove_prefix(statusLineEnd);
  bool hasDate = false;
  while (!head.empty()) {
    std::string_view line = head.substr(0, head.find('\n') + 1);
    head.remove_prefix(line.size());
    std::string_view name = headerName(line);
    if (status == 304 && equalsIgnoringCase(name, "Content-Length")) continue;
    if (equalsIgnoringCase(name, "Date")) hasDate = true;
    if (equalsIgnoringCase(name, "Connection") && line.find("close") != std::string_view::npos) {
      closeRequested_ = true;
    }
    if (!hasDate && line == "\r\n") adjusted += "Date: " + httpDate(std::time(nullptr)) + "\r\n";
    adjusted += line;
  }
  return sendAll(adjusted);
}

ssize_t ConnectionStream::write(const char* data, std::size_t size) {
  auto written = static_cast<ssize_t>(size);
  if (!expectingHead_) return sendAll({data, size}) ? written : -1;
  pendingHead_.append(data, size);
  while (expectingHead_) {
    auto end = pendingHead_.find("\r\n\r\n");
    if (end == std::string::npos) return written;
    std::string head = pendingHead_.substr(0, end + 4);
    pendingHead_.erase(0, end + 4);
    if (!writeResponseHead(head)) return -1;
  }
  std::string rest = std::move(pendingHead_);
  pendingHead_.clear();
  return sendAll(rest) ? written : -1;
}

void ConnectionStream::get_remote_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getpeername(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    ip = addressText(address, port);
  }
}

void ConnectionStream::get_local_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    ip = addressText(address, port);
  }
}

}  // namespace velmoradine::devserver
