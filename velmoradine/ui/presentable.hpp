#pragma once

// What the share sheet asks of its provider besides the video: a preview
// drawn into the sheet's content area, and a title for the shared content.
//
// Threading: main thread.

#include <memory>
#include <optional>
#include <string>

#include "velmoradine/model/video_content_future_provider.hpp"
#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine {

class UIView;
class UIViewController;

class Presentable {
 public:
  virtual ~Presentable() = default;
  // Places the preview into `view`, owned by `viewController`.
  virtual std::optional<Error> presentOn(const std::shared_ptr<UIViewController>& viewController,
                                         const std::shared_ptr<UIView>& view) = 0;
};

class TitleProvider {
 public:
  virtual ~TitleProvider() = default;
  virtual std::optional<std::string> title() const = 0;
};

// What the share sheet is made with: a preview, a title and the video being
// rendered. The UGC is the kit's one provider.
class ShareSheetProvider : public Presentable,
                           public TitleProvider,
                           public VideoContentFutureProvider {};

}  // namespace velmoradine
