#include "velmoradine/platform/foundation/bundle.hpp"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

#include "velmoradine/platform/foundation/console.hpp"
#include "velmoradine/platform/foundation/fatal.hpp"

namespace velmoradine {

constexpr char kAssetBundleName[] = "Velmoradine_VelmoradineAssets.bundle";

struct Bundle::State {
  explicit State(std::filesystem::path bundlePath) : path(std::move(bundlePath)) {}

  std::filesystem::path path;
  std::once_flag infoOnce;
  PropertyList info;
  std::once_flag stringsOnce;
  StringTable strings;
};

std::optional<Bundle> Bundle::open(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::is_directory(path, error)) return std::nullopt;
  return Bundle(std::make_shared<State>(std::filesystem::absolute(path, error)));
}

std::filesystem::path executableDirectory() {
  std::error_code error;
  auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::current_path() : executable.parent_path();
}

std::filesystem::path kitCodeDirectory() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&kitCodeDirectory), &info) && info.dli_fname &&
      std::string_view(info.dli_fname).find('/') != std::string_view::npos) {
    std::error_code error;
    auto path = std::filesystem::canonical(info.dli_fname, error);
    if (!error) return path.parent_path();
  }
  return executableDirectory();
}

// The cached bundles are never destroyed: the kit's threads look strings up
// in them (an error's description in a log line) while the process exits.
Bundle Bundle::main() {
  static std::mutex mutex;
  static auto& cached = *new std::shared_ptr<State>();
  const char* variable = std::getenv("VELMORADINE_MAIN_BUNDLE");
  std::filesystem::path path =
      variable && *variable ? std::filesystem::path(variable) : executableDirectory();
  std::lock_guard lock(mutex);
  if (!cached || cached->path != path) cached = std::make_shared<State>(path);
  return Bundle(cached);
}

namespace {

std::mutex& moduleMutex() {
  static std::mutex mutex;
  return mutex;
}

std::optional<Bundle>& moduleSlot() {
  static auto& module = *new std::optional<Bundle>();
  return module;
}

}  // namespace

Bundle Bundle::findModule(const std::vector<std::optional<std::filesystem::path>>& candidates) {
  for (const auto& candidate : candidates) {
    std::optional<std::filesystem::path> path;
    if (candidate) path = *candidate / kAssetBundleName;
    console::writeLine("BundlePath: " + (path ? path->string() : std::string("nil")));
    if (path) {
      if (auto bundle = Bundle::open(*path)) return *bundle;
    }
  }
  fatalError("unable to find bundle named Velmoradine_Velmoradine");
}

Bundle Bundle::module() {
  std::lock_guard lock(moduleMutex());
  if (!moduleSlot()) {
    Bundle mainBundle = main();
    moduleSlot() =
        findModule({mainBundle.resourcePath(), kitCodeDirectory(), mainBundle.bundlePath()});
  }
  return *moduleSlot();
}

void Bundle::setModule(Bundle bundle) {
  std::lock_guard lock(moduleMutex());
  moduleSlot() = std::move(bundle);
}

const std::filesystem::path& Bundle::bundlePath() const {
  return state_->path;
}

const std::filesystem::path& Bundle::resourcePath() const {
  return state_->path;
}

const PropertyList& Bundle::infoDictionary() const {
  std::call_once(state_->infoOnce, [state = state_.get()] {
    auto read = PropertyList::read(state->path / "Info.plist");
    if (read && read->dictionary()) {
      state->info = std::move(*read);
    } else {
      state->info = PropertyList(PropertyList::Dictionary{});
    }
  });
  return state_->info;
}

std::optional<std::string> Bundle::bundleIdentifier() const {
  return infoDictionary().stringFor("CFBundleIdentifier");
}

std::string Bundle::localizedString(std::string_view key) const {
  std::call_once(state_->stringsOnce, [state = state_.get()] {
    if (auto table = StringTable::read(state->path / "Localizable.strings")) {
      state->strings = std::move(*table);
    }
  });
  if (auto translated = state_->strings.lookup(key)) return *translated;
  return std::string(key);
}

std::optional<std::filesystem::path> Bundle::pathForResource(std::string_view name,
                                                             std::string_view extension) const {
  std::string file(name);
  if (!extension.empty()) {
    file += '.';
    file += extension;
  }
  auto path = resourcePath() / file;
  std::error_code error;
  if (!std::filesystem::exists(path, error)) return std::nullopt;
  return path;
}

}  // namespace velmoradine
