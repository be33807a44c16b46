#pragma once

#include <memory>
#include <vector>

#include "velmoradine/share/share_strategy.hpp"

namespace velmoradine {

class VideoContent;

// Everything that can be shared.
class Content {
 public:
  virtual ~Content() = default;
  virtual ContentType contentType() const = 0;
  // The content as a video, when it is one.
  virtual std::shared_ptr<VideoContent> videoContent() { return nullptr; }
  // Called after a share with the strategy types the outlet used (an empty
  // list when nothing was shared).
  virtual void cleanupContent(const std::vector<ShareStretegyType>&) {}
};

}  // namespace velmoradine
