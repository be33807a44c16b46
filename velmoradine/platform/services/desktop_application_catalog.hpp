#pragma once

// The desktop applications that open a kind of file: the launchable .desktop
// entries associated with the MIME type (see ApplicationDatabase), most
// preferred first, without those marked NoDisplay, since this list is shown
// to the user. Names are in the user's language where the entry has one;
// icons are absolute paths as written, or names looked up in the hicolor
// icon theme (PNG sizes from large to small, then scalable SVG) and in
// /usr/share/pixmaps.
//
// Threading: callable from any thread; every call reads the XDG environment
// and the files afresh.

#include "velmoradine/platform/services/application_catalog.hpp"

namespace velmoradine {

class DesktopApplicationCatalog : public ApplicationCatalog {
 public:
  std::vector<DesktopApplication> applicationsOpening(const std::string& mimeType) override;
  // Fails with noApplication when the entry is no longer launchable, and as
  // `desktop_process::launch` does.
  Result<void> launch(const DesktopApplication& application, const std::vector<URL>& urls) override;
};

// The file of an entry's Icon value: the value itself when it is an absolute
// path to an existing file, else the theme's or the pixmaps' file of that name.
std::optional<std::filesystem::path> iconPath(const std::string& icon);

}  // namespace velmoradine
