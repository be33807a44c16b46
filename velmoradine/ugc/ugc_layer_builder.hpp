#pragma once

// The builders put one layer configuration into a scene's drawing for
// export, or into a scene's live preview (the preview view's layer). They
// are stateless; they run on the thread that builds the scene (the main
// queue) or presents it (the main thread). Every failure is a UGCError with
// the message the layer kind defines.

#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine {

class UGCScenePresentation;
class UGCSecneRenderer;
class UGCImageLayerConfiguration;
class UGCTextLayerConfiguration;
class UGCVideoLayerConfiguration;

struct UGCLayerBuilder {};

struct UGCImageLayerBuilder : UGCLayerBuilder {
  // The configuration's image, or the file at its URL, over the host's
  // attributes (a host `contents` loses to the image); the format is left
  // unchanged. Fails with `imageError` "No url set for image" or
  // "Unable to load image from: Optional(<url>)".
  static Result<void> build(const UGCImageLayerConfiguration& configuration,
                            UGCSecneRenderer& scene);
  // The same into the preview view's layer; the second message names the
  // URL as it is ("Unable to load image from: <url>"). `unknown` when the
  // presentation has no preview view.
  static Result<void> buildPresentation(const UGCImageLayerConfiguration& configuration,
                                        UGCScenePresentation& presentation);
};

struct UGCTextLayerBuilder : UGCLayerBuilder {
  // Appends the text to the format (once per build) and applies the whole
  // format to a new text layer. Cannot fail.
  static void build(const UGCTextLayerConfiguration& configuration, UGCSecneRenderer& scene);
  // The same into the preview view's layer; `unknown` when the presentation
  // has no preview view.
  static Result<void> buildPresentation(const UGCTextLayerConfiguration& configuration,
                                        UGCScenePresentation& presentation);
};

}  // namespace velmoradine
