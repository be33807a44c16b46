#pragma once

// What an ended export means for a render: completed is the video at
// `displayURL`; failed or cancelled is `exportFailedOrCancelled` (carrying
// the session's own error description as detail, for those who print
// it); anything else is `unknown`.

#include "velmoradine/model/ugc_error.hpp"
#include "velmoradine/platform/foundation/url.hpp"
#include "velmoradine/platform/media/export_session.hpp"

namespace velmoradine {

Result<SuccessfulRenderingResult> exportOutcome(const AssetExportSession& session,
                                                const URL& displayURL);

// Renders report only UGCErrors; any other error a renderer gives is
// `unknown`.
Error asUGCError(Error error);

}  // namespace velmoradine
