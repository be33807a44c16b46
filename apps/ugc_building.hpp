#pragma once

// What `velmoradine render` and `velmoradine compose` share: reading a UGC
// description (docs/ugc.md) and building and readying the UGC through the
// kit's public API, as a host does.
//
// Threading: main thread.

#include <filesystem>
#include <memory>

#include "ugc_render_progress.hpp"
#include "velmoradine/model/ugc_description.hpp"
#include "velmoradine/ugc/ugc.hpp"

namespace velmoradine::cli {

// The description in `input`; fails with the reason alone (the caller names
// the file) or with the JSON path of the first bad value.
Result<UGCDescription> readUGCDescription(const std::filesystem::path& input);

// A UGC of the described scenes and layers, each scene watched by `progress`,
// made with `providers` (the progress's own, possibly changed by the caller).
std::shared_ptr<UGC> buildUGC(const UGCDescription& description, UGCRenderProgress& progress,
                              UGCProviders providers);

// Calls the `ready` of the scenes from `index` on, one scene after the
// other's outcome, and the UGC's `ready` with `finished` once the last scene
// has been asked. One export at a time keeps every core busy already (the
// encoder's threads, decoding ahead of composing), while three at once hold
// three pipelines' frames: 312 MB against 133 MB at 540 × 960. Downloads do
// not wait: URL layers started theirs when the UGC was built.
void readyInTurn(const std::shared_ptr<UGC>& ugc, std::size_t index,
                 const std::shared_ptr<UGCRenderProgress>& progress, UGC::Completion finished);

// Calls every scene's `ready` at once, then the UGC's `ready` with
// `finished`: what a host that presents the UGC right away does. The UGC
// joins only the scenes that announced themselves before the first `ready`
// of its own, and the share sheet asks for the video as soon as it is made.
void readyAtOnce(const std::shared_ptr<UGC>& ugc,
                 const std::shared_ptr<UGCRenderProgress>& progress, UGC::Completion finished);

}  // namespace velmoradine::cli
