#pragma once

// The share sheet's provider for a video that already exists: its preview is
// the video's first frame, filling the sheet's content area, and the
// "rendered" video is the file itself, delivered at once.
//
// Threading: main thread, like the sheet.

#include <filesystem>
#include <optional>
#include <string>

#include "velmoradine/platform/graphics/image.hpp"
#include "velmoradine/ui/presentable.hpp"

namespace velmoradine::cli {

class LocalVideoProvider final : public ShareSheetProvider {
 public:
  LocalVideoProvider(std::filesystem::path video, std::string title, Image firstFrame)
      : video_(std::move(video)), title_(std::move(title)), firstFrame_(std::move(firstFrame)) {}

  std::optional<Error> presentOn(const std::shared_ptr<UIViewController>& viewController,
                                 const std::shared_ptr<UIView>& view) override;
  std::optional<std::string> title() const override { return title_; }
  void renderingComplete(RenderingCompletion completion) override;
  void startRendering() override {}

 private:
  std::filesystem::path video_;
  std::string title_;
  Image firstFrame_;
};

}  // namespace velmoradine::cli
