#include "velmoradine/platform/services/desktop_entry.hpp"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "velmoradine/platform/foundation/url.hpp"
#include "velmoradine/platform/services/desktop_services_error.hpp"
#include "velmoradine/platform/services/key_file.hpp"
#include "velmoradine/platform/services/xdg_base_directories.hpp"

namespace velmoradine {
namespace {

constexpr std::string_view kGroup = "Desktop Entry";

// "ll_CC.ENCODING@MODIFIER" from the locale variables, as the key suffixes
// to try: ll_CC@MODIFIER, ll_CC, ll@MODIFIER, ll.
std::vector<std::string> localeSuffixes() {
  std::string locale;
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    if (const char* value = std::getenv(variable); value && *value) {
      locale = value;
      break;
    }
  }
  if (locale.empty() || locale == "C" || locale == "POSIX") return {};
  std::string modifier;
  if (const auto at = locale.find('@'); at != std::string::npos) {
    modifier = locale.substr(at);
    locale.erase(at);
  }
  locale.erase(std::min(locale.find('.'), locale.size()));
  const std::string language = locale.substr(0, locale.find('_'));
  std::vector<std::string> suffixes;
  if (!modifier.empty()) suffixes.push_back(locale + modifier);
  suffixes.push_back(locale);
  if (!modifier.empty() && language != locale) suffixes.push_back(language + modifier);
  if (language != locale) suffixes.push_back(language);
  return suffixes;
}

std::string localizedName(const KeyFile& file) {
  for (const auto& suffix : localeSuffixes()) {
    if (auto name = file.string(kGroup, "Name[" + suffix + "]")) return *name;
  }
  return file.string(kGroup, "Name").value_or("");
}

Result<DesktopEntry> entryFrom(const KeyFile& file, std::string id, std::filesystem::path path) {
  if (!file.group(kGroup)) {
    return failure(
        Error(DesktopServicesError::invalidDesktopEntry, id + ": no [Desktop Entry] group"));
  }
  DesktopEntry entry;
  entry.id = std::move(id);
  entry.path = std::move(path);
  entry.type = file.string(kGroup, "Type").value_or("");
  entry.name = localizedName(file);
  entry.exec = file.string(kGroup, "Exec").value_or("");
  entry.icon = file.string(kGroup, "Icon").value_or("");
  entry.tryExec = file.string(kGroup, "TryExec").value_or("");
  entry.mimeTypes = file.list(kGroup, "MimeType");
  entry.noDisplay = file.boolean(kGroup, "NoDisplay");
  entry.hidden = file.boolean(kGroup, "Hidden");
  return entry;
}

Error invalidExec(const DesktopEntry& entry, std::string_view problem) {
  return Error(DesktopServicesError::invalidDesktopEntry,
               entry.id + ": Exec " + std::string(problem));
}

// One argument of Exec as written: literal text and field codes in order.
struct Piece {
  char code = 0;  // 0 for literal text
  std::string text;
};
using Word = std::vector<Piece>;

class ExecSplitter {
 public:
  explicit ExecSplitter(const DesktopEntry& entry) : entry_(entry) {}

  Result<std::vector<Word>> split() {
    const std::string& exec = entry_.exec;
    for (std::size_t i = 0; i < exec.size(); ++i) {
      if (quoted_) {
        readQuoted(exec, i);
      } else if (exec[i] == ' ' || exec[i] == '\t' || exec[i] == '\n') {
        endWord();
      } else {
        VELMORADINE_TRY(readUnquoted(exec, i));
      }
    }
    if (quoted_) return failure(invalidExec(entry_, "has an unterminated quote"));
    endWord();
    return std::move(words_);
  }

 private:
  void readQuoted(const std::string& exec, std::size_t& i) {
    const bool escape = exec[i] == '\\' && i + 1 < exec.size() &&
                        std::string_view("\"`$\\").find(exec[i + 1]) != std::string_view::npos;
    if (escape) {
      appendText(exec[++i]);
    } else if (exec[i] == '"') {
      quoted_ = false;
    } else {
      appendText(exec[i]);
    }
  }

  Result<void> readUnquoted(const std::string& exec, std::size_t& i) {
    inWord_ = true;
    if (exec[i] == '"') {
      quoted_ = hadQuotes_ = true;
      return {};
    }
    if (exec[i] != '%') {
      appendText(exec[i]);
      return {};
    }
    if (++i == exec.size()) return failure(invalidExec(entry_, "ends with a lone %"));
    const char code = exec[i];
    if (code == '%') {
      appendText('%');
    } else if (std::string_view("fFuUick").find(code) != std::string_view::npos) {
      current_.push_back({code, {}});
    } else if (std::string_view("dDnNvm").find(code) == std::string_view::npos) {
      return failure(invalidExec(entry_, std::string("has the unknown field code %") + code));
    }
    return {};
  }

  void appendText(char c) {
    if (current_.empty() || current_.back().code != 0) current_.push_back({});
    current_.back().text += c;
  }

  void endWord() {
    // A word that held only a deprecated field code disappears; "" stays.
    if (inWord_ && (!current_.empty() || hadQuotes_)) words_.push_back(std::move(current_));
    current_.clear();
    inWord_ = hadQuotes_ = false;
  }

  const DesktopEntry& entry_;
  std::vector<Word> words_;
  Word current_;
  bool inWord_ = false;
  bool quoted_ = false;
  bool hadQuotes_ = false;
};

bool hasCode(const std::vector<Word>& words, std::string_view codes) {
  return std::ranges::any_of(words, [&](const Word& word) {
    return std::ranges::any_of(word, [&](const Piece& piece) {
      return piece.code != 0 && codes.find(piece.code) != std::string_view::npos;
    });
  });
}

Result<void> validate(const DesktopEntry& entry, const std::vector<Word>& words) {
  if (words.empty()) return failure(invalidExec(entry, "is empty"));
  if (hasCode({words.front()}, "fFuUick")) {
    return failure(invalidExec(entry, "takes its program from a field code"));
  }
  for (const Word& word : words) {
    if (word.size() > 1 && hasCode({word}, "FUi")) {
      return failure(invalidExec(entry, "has %F, %U or %i inside an argument"));
    }
  }
  return {};
}

// The local path of a file URL (as %f wants it); other URIs unchanged.
std::string localPath(const std::string& uri) {
  constexpr std::string_view kFile = "file://";
  if (!uri.starts_with(kFile)) return uri;
  std::string_view rest = std::string_view(uri).substr(kFile.size());
  const auto slash = rest.find('/');
  const std::string_view host = rest.substr(0, slash);
  if (slash == std::string_view::npos || !(host.empty() || host == "localhost")) return uri;
  return removingPercentEncoding(rest.substr(slash)).value_or(uri);
}

class ExecExpander {
 public:
  ExecExpander(const DesktopEntry& entry, const std::vector<std::string>& items)
      : entry_(entry), items_(items) {}

  std::vector<std::string> expand(const std::vector<Word>& words) const {
    std::vector<std::string> arguments;
    for (const Word& word : words) expandWord(word, arguments);
    return arguments;
  }

 private:
  void expandWord(const Word& word, std::vector<std::string>& arguments) const {
    if (word.size() == 1 && word.front().code != 0) {
      expandAlone(word.front().code, arguments);
      return;
    }
    std::string argument;
    for (const Piece& piece : word) argument += piece.code ? single(piece.code) : piece.text;
    arguments.push_back(std::move(argument));
  }

  void expandAlone(char code, std::vector<std::string>& arguments) const {
    if (code == 'F' || code == 'U') {
      for (const auto& item : items_) arguments.push_back(code == 'F' ? localPath(item) : item);
    } else if (code == 'i') {
      if (!entry_.icon.empty()) arguments.insert(arguments.end(), {"--icon", entry_.icon});
    } else if ((code != 'f' && code != 'u') || !items_.empty()) {
      arguments.push_back(single(code));
    }
  }

  std::string single(char code) const {
    switch (code) {
      case 'f':
        return items_.empty() ? "" : localPath(items_.front());
      case 'u':
        return items_.empty() ? "" : items_.front();
      case 'c':
        return entry_.name;
      case 'k':
        return entry_.path.string();
      default:
        return {};
    }
  }

  const DesktopEntry& entry_;
  const std::vector<std::string>& items_;
};

bool isExecutableFile(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error) && access(path.c_str(), X_OK) == 0;
}

}  // namespace

bool DesktopEntry::handles(std::string_view mimeType) const {
  const std::string wanted = xdg::asciiLowercased(mimeType);
  return std::ranges::any_of(
      mimeTypes, [&](const auto& type) { return xdg::asciiLowercased(type) == wanted; });
}

Result<DesktopEntry> parseDesktopEntry(std::string_view text, std::string id,
                                       std::filesystem::path path) {
  return entryFrom(KeyFile::parse(text), std::move(id), std::move(path));
}

Result<DesktopEntry> readDesktopEntry(const std::filesystem::path& path, std::string id) {
  auto file = KeyFile::read(path);
  if (!file) {
    return failure(Error(DesktopServicesError::invalidDesktopEntry, id + ": unreadable"));
  }
  return entryFrom(*file, std::move(id), path);
}

bool isLaunchable(const DesktopEntry& entry) {
  return entry.type == "Application" && !entry.exec.empty() && !entry.hidden &&
         (entry.tryExec.empty() || findExecutable(entry.tryExec).has_value());
}

Result<std::vector<std::vector<std::string>>> commandLines(const DesktopEntry& entry,
                                                           const std::vector<std::string>& uris) {
  VELMORADINE_ASSIGN_OR_RETURN(auto words, ExecSplitter(entry).split());
  VELMORADINE_TRY(validate(entry, words));
  std::vector<std::vector<std::string>> lines;
  if (hasCode(words, "fu") && uris.size() > 1) {
    for (const auto& uri : uris) lines.push_back(ExecExpander(entry, {uri}).expand(words));
    return lines;
  }
  lines.push_back(ExecExpander(entry, uris).expand(words));
  if (!hasCode(words, "fFuU")) lines.front().insert(lines.front().end(), uris.begin(), uris.end());
  return lines;
}

std::optional<std::filesystem::path> findExecutable(std::string_view program) {
  if (program.empty()) return std::nullopt;
  if (program.find('/') != std::string_view::npos) {
    return isExecutableFile(program) ? std::optional<std::filesystem::path>(program) : std::nullopt;
  }
  const char* path = std::getenv("PATH");
  std::string_view directories = path ? path : "/usr/local/bin:/usr/bin:/bin";
  while (!directories.empty()) {
    const auto colon = std::min(directories.find(':'), directories.size());
    const std::filesystem::path candidate =
        std::filesystem::path(directories.substr(0, colon)) / program;
    if (colon > 0 && isExecutableFile(candidate)) return candidate;
    directories.remove_prefix(std::min(colon + 1, directories.size()));
  }
  return std::nullopt;
}

}  // namespace velmoradine
