#pragma once

// The seams between a UGC and the renderer that joins its scenes, so that
// the UGC's retry and delivery rules can be driven by substitutes.
//
// Threading: `makeRenderer` and `startExport` are called on the main queue;
// `startExport` answers once, on the exporter's thread.

#include <functional>
#include <memory>
#include <vector>

#include "velmoradine/model/ugc_error.hpp"
#include "velmoradine/model/ugc_render_settings.hpp"
#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine {

// One export of joined scenes.
class UGCExport {
 public:
  using Completion = std::function<void(Result<SuccessfulRenderingResult>)>;
  virtual ~UGCExport() = default;
  // The error side is a UGCError.
  virtual void startExport(Completion completion) = 0;
};

class UGCRendererFactory {
 public:
  virtual ~UGCRendererFactory() = default;
  virtual Result<std::shared_ptr<UGCExport>> makeRenderer(
      std::vector<SuccessfulRenderingResult> scenes, const UGCRenderSettings& renderSettings) = 0;
  // Makes `UGCRenderer`s.
  static std::shared_ptr<UGCRendererFactory> standard();
};

}  // namespace velmoradine
