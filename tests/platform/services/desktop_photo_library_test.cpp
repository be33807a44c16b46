#include "velmoradine/platform/services/desktop_photo_library.hpp"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <mutex>
#include <optional>
#include <thread>

#include "services_fixture.hpp"
#include "tests/platform/services/temporary_desktop.hpp"
#include "velmoradine/platform/foundation/file_contents.hpp"
#include "velmoradine/platform/services/photo_authorization_prompt.hpp"
#include "velmoradine/platform/uikit/ui_alert_controller.hpp"

namespace velmoradine::testing {
namespace {

// What a completion handed over, and on which thread.
template <typename T>
class Answer {
 public:
  void set(T value) {
    std::lock_guard lock(mutex_);
    value_ = std::move(value);
    thread_ = std::this_thread::get_id();
  }
  std::optional<T> get() const {
    std::lock_guard lock(mutex_);
    return value_;
  }
  std::thread::id thread() const {
    std::lock_guard lock(mutex_);
    return thread_;
  }
  bool wait() const {
    return waitUntil([this] { return get().has_value(); });
  }

 private:
  mutable std::mutex mutex_;
  std::optional<T> value_;
  std::thread::id thread_;
};

std::vector<std::string> entries(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

class DesktopPhotoLibraryTest : public ScreenTest {
 protected:
  DesktopPhotoLibraryTest() { desktop.writeUserDirectories("XDG_VIDEOS_DIR=\"$HOME/Films\"\n"); }

  Result<std::string> save(DesktopPhotoLibrary& library, const std::filesystem::path& source) {
    Answer<Result<std::string>> answer;
    library.createVideoAsset(URL::fileURL(source), [&](auto result) { answer.set(result); });
    EXPECT_TRUE(answer.wait());
    EXPECT_NE(answer.thread(), std::this_thread::get_id()) << "never on the caller's stack";
    return answer.get().value_or(failure(Error::posix(ETIMEDOUT)));
  }

  std::filesystem::path libraryPath() const { return desktop.home() / "Films" / "Velmoradine"; }

  TemporaryDesktop desktop;
};

TEST(XDGUserDirectories, TheVideosFolderFollowsUserDirsElseVideosInHome) {
  TemporaryDesktop desktop;
  const auto home = desktop.home();
  struct Case {
    const char* name;
    std::optional<std::string> contents;
    std::filesystem::path expected;
  } cases[] = {
      {"no file", std::nullopt, home / "Videos"},
      {"under $HOME", "# comment\nXDG_VIDEOS_DIR=\"$HOME/My Films\"\n", home / "My Films"},
      {"absolute", "XDG_VIDEOS_DIR=\"/media/films\"", "/media/films"},
      {"the last line wins", "XDG_VIDEOS_DIR=\"/a\"\nXDG_VIDEOS_DIR=\"/b\"\n", "/b"},
      {"escaped quote", "XDG_VIDEOS_DIR=\"$HOME/say \\\"hi\\\"\"", home / "say \"hi\""},
      {"relative is ignored", "XDG_VIDEOS_DIR=\"Films\"", home / "Videos"},
      {"another key only", "XDG_VIDEOS_DIR_OLD=\"/x\"\nXDG_MUSIC_DIR=\"/y\"", home / "Videos"},
      {"unterminated quote", "XDG_VIDEOS_DIR=\"/films", home / "Videos"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(desktop.configHome() / "user-dirs.dirs");
    if (c.contents) desktop.writeUserDirectories(*c.contents);
    EXPECT_EQ(DesktopPhotoLibrary::Locations::desktop().libraryPath,
              c.expected / DesktopPhotoLibrary::kFolderName);
  }
}

TEST_F(DesktopPhotoLibraryTest, ASavedVideoIsFoundByItsIdentifierInALaterLibrary) {
  const auto source = desktop.writeFile("clip.mp4", "not really a video");
  std::string identifier;
  {
    DesktopPhotoLibrary library;
    auto saved = save(library, source);
    ASSERT_TRUE(saved) << saved.error().detail();
    identifier = *saved;
  }
  EXPECT_TRUE(identifier.ends_with("/L0/001")) << identifier;
  DesktopPhotoLibrary later;
  auto asset = later.fetchAsset(identifier);
  ASSERT_TRUE(asset);
  EXPECT_EQ(asset->localIdentifier, identifier);
  EXPECT_EQ(asset->path.parent_path(), libraryPath());
  EXPECT_EQ(asset->path.extension(), ".mp4");
  auto contents = readContents(asset->path);
  ASSERT_TRUE(contents);
  EXPECT_EQ(std::string(contents->begin(), contents->end()), "not really a video");
  EXPECT_EQ(entries(libraryPath()).size(), 1u) << "no hidden file is left beside it";

  for (const std::string& unknown :
       {std::string("00000000-0000-4000-8000-000000000000/L0/001"), identifier.substr(0, 36),
        std::string("../clip/L0/001"), std::string()}) {
    EXPECT_FALSE(later.fetchAsset(unknown)) << unknown;
  }
}

TEST_F(DesktopPhotoLibraryTest, AFailedSaveLeavesNothingInTheLibraryAndSaysWhy) {
  const auto video = desktop.writeFile("big.mp4", std::string(3 << 20, 'v'));
  struct Case {
    const char* name;
    std::filesystem::path source;
    int expectedErrno;
    std::function<void()> prepare;
    std::function<void()> restore;
  } cases[] = {
      {"missing source", desktop.home() / "gone.mp4", ENOENT, [] {}, [] {}},
      {"source is a folder", desktop.home(), EINVAL, [] {}, [] {}},
      {"folder cannot be made", video, ENOTDIR,
       [&] {
         std::filesystem::remove_all(libraryPath());
         std::ofstream(libraryPath()) << "in the way";
       },
       [&] { std::filesystem::remove(libraryPath()); }},
      // A full disk, for this process: writes past 1 MiB fail with EFBIG.
      {"disk fills up mid-copy", video, EFBIG,
       [] {
         std::signal(SIGXFSZ, SIG_IGN);
         rlimit limit{1 << 20, RLIM_INFINITY};
         setrlimit(RLIMIT_FSIZE, &limit);
       },
       [] {
         rlimit limit{RLIM_INFINITY, RLIM_INFINITY};
         setrlimit(RLIMIT_FSIZE, &limit);
         std::signal(SIGXFSZ, SIG_DFL);
       }},
  };
  std::filesystem::create_directories(desktop.home() / "Films");
  DesktopPhotoLibrary library;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.prepare();
    auto saved = save(library, c.source);
    c.restore();
    ASSERT_FALSE(saved);
    EXPECT_EQ(saved.error().value(), c.expectedErrno) << saved.error().detail();
    EXPECT_EQ(entries(libraryPath()), std::vector<std::string>{});
  }
}

// Folder permissions do not bind the superuser: a test run as root acts as
// "nobody" (every thread of the process) while it saves.
class ScopedUnprivilegedUser {
 public:
  static constexpr uid_t kNobody = 65534;
  ScopedUnprivilegedUser() : wasRoot_(geteuid() == 0) {
    if (wasRoot_) {
      EXPECT_EQ(seteuid(kNobody), 0);
    }
  }
  ~ScopedUnprivilegedUser() {
    if (wasRoot_) {
      EXPECT_EQ(seteuid(0), 0);
    }
  }
  ScopedUnprivilegedUser(const ScopedUnprivilegedUser&) = delete;
  ScopedUnprivilegedUser& operator=(const ScopedUnprivilegedUser&) = delete;

 private:
  bool wasRoot_;
};

TEST_F(DesktopPhotoLibraryTest, AReadOnlyFolderRefusesTheSaveAndKeepsNothing) {
  using std::filesystem::perms;
  const auto source = desktop.writeFile("clip.mp4", "video");
  std::filesystem::create_directories(libraryPath());
  for (const auto& path : {desktop.home(), desktop.home() / "Films"}) {
    std::filesystem::permissions(path, perms::all & ~(perms::group_write | perms::others_write));
  }
  std::filesystem::permissions(source, perms::owner_read | perms::group_read | perms::others_read);
  std::filesystem::permissions(libraryPath(), perms::owner_read | perms::owner_exec |
                                                  perms::others_read | perms::others_exec);
  DesktopPhotoLibrary library;
  Result<std::string> saved;
  {
    ScopedUnprivilegedUser nobody;
    saved = save(library, source);
  }
  std::filesystem::permissions(libraryPath(), perms::owner_all);
  ASSERT_FALSE(saved);
  EXPECT_EQ(saved.error().value(), EACCES) << saved.error().detail();
  EXPECT_EQ(entries(libraryPath()), std::vector<std::string>{});
}

TEST_F(DesktopPhotoLibraryTest, TheQuestionIsAskedOnceAndTheAnswerKeptForTheHost) {
  const auto settings = desktop.configHome() / TemporaryDesktop::kBundleIdentifier;
  struct Case {
    std::string_view button;
    PHAuthorizationStatus answer;
    const char* stored;
  } cases[] = {
      {PhotoAuthorizationPrompt::kAllowTitle, PHAuthorizationStatus::authorized, "authorized\n"},
      {PhotoAuthorizationPrompt::kDenyTitle, PHAuthorizationStatus::denied, "denied\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    std::filesystem::remove_all(settings);
    DesktopPhotoLibrary library;
    EXPECT_EQ(library.authorizationStatus(), PHAuthorizationStatus::notDetermined);
    Answer<PHAuthorizationStatus> first, second;
    library.requestAuthorization([&](auto status) { first.set(status); });
    library.requestAuthorization([&](auto status) { second.set(status); });
    advance(0);
    auto alert = std::dynamic_pointer_cast<UIAlertController>(window->topViewController());
    ASSERT_NE(alert, nullptr) << "the prompt is on the key window";
    EXPECT_EQ(alert->title(), "“Example” Would Like to Add to your Photos");
    EXPECT_EQ(alert->message(), "To save your videos");
    advance(0.3);
    tapText(std::string(c.button));
    advance(0.3);
    ASSERT_TRUE(first.wait() && second.wait());
    EXPECT_EQ(first.get(), c.answer);
    EXPECT_EQ(second.get(), c.answer) << "both requests share the one question";
    EXPECT_EQ(window->topViewController(), root);

    auto kept = readContents(settings / "photo-library-authorization");
    ASSERT_TRUE(kept);
    EXPECT_EQ(std::string(kept->begin(), kept->end()), c.stored);
    EXPECT_EQ(library.settingsURL(), URL::fileURL(settings));

    DesktopPhotoLibrary later;
    EXPECT_EQ(later.authorizationStatus(), c.answer);
    Answer<PHAuthorizationStatus> again;
    later.requestAuthorization([&](auto status) { again.set(status); });
    advance(0);
    EXPECT_EQ(window->topViewController(), root) << "a decided question is not asked again";
    ASSERT_TRUE(again.wait());
    EXPECT_EQ(again.get(), c.answer);
  }
}

TEST_F(DesktopPhotoLibraryTest, WithoutAWindowToAskInTheQuestionStaysOpen) {
  auto other = std::make_unique<UIWindow>();
  other->makeKeyAndVisible();
  other.reset();
  ASSERT_EQ(UIWindow::keyWindow(), nullptr);
  DesktopPhotoLibrary library;
  Answer<PHAuthorizationStatus> answer;
  library.requestAuthorization([&](auto status) { answer.set(status); });
  ASSERT_TRUE(answer.wait());
  EXPECT_EQ(answer.get(), PHAuthorizationStatus::notDetermined);
  EXPECT_EQ(library.authorizationStatus(), PHAuthorizationStatus::notDetermined);
}

}  // namespace
}  // namespace velmoradine::testing
