#include "velmoradine/platform/services/desktop_application_catalog.hpp"

#include <gtest/gtest.h>

#include "tests/platform/services/temporary_desktop.hpp"

namespace velmoradine {
namespace {

using testing::TemporaryDesktop;

using Shown = std::tuple<std::string, std::string, std::optional<std::filesystem::path>>;

std::vector<Shown> shown(const std::vector<DesktopApplication>& applications) {
  std::vector<Shown> fields;
  for (const auto& application : applications) {
    fields.emplace_back(application.identifier, application.name, application.iconPath);
  }
  return fields;
}

std::string videoEntry(const std::string& name, const std::string& exec, const std::string& extra) {
  return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec +
         " %f\nMimeType=video/mp4;\n" + extra;
}

TEST(DesktopApplicationCatalog, ListsTheShownApplicationsForTheTypeAndLaunchesOneWithTheFile) {
  TemporaryDesktop desktop;
  const auto player = desktop.writeRecordingScript("player", "played");
  const auto icons = desktop.dataHome() / "icons/hicolor";
  testing::writeText(icons / "16x16/apps/player.png", "small");
  testing::writeText(icons / "48x48/apps/player.png", "large");
  const auto editorIcon = desktop.root() / "editor.png";
  testing::writeText(editorIcon, "icon");
  desktop.writeDesktopEntry("player.desktop",
                            videoEntry("Player", player.string(), "Icon=player\n"));
  desktop.writeDesktopEntry("tools/editor.desktop",
                            "[Desktop Entry]\nType=Application\nName=Editor\nExec=editor %F\n"
                            "Icon=" +
                                editorIcon.string() + "\n");
  desktop.writeDesktopEntry("thumbnailer.desktop",
                            videoEntry("Thumbnailer", "/bin/true", "NoDisplay=true\n"));
  desktop.writeMimeappsList("[Added Associations]\nvideo/mp4=tools-editor.desktop;\n");
  DesktopApplicationCatalog catalog;

  const auto applications = catalog.applicationsOpening("video/mp4");

  const std::vector<Shown> expected = {
      {"tools-editor.desktop", "Editor", editorIcon},
      {"player.desktop", "Player", icons / "48x48/apps/player.png"}};
  ASSERT_EQ(shown(applications), expected);
  const auto movie = desktop.root() / "my movie.mp4";
  ASSERT_TRUE(catalog.launch(applications[1], {URL::fileURL(movie)}));
  EXPECT_EQ(desktop.waitForRecord("played"), std::vector<std::string>{movie.string()});
}

}  // namespace
}  // namespace velmoradine
