#include "velmoradine/ugc/ugc_export_outcome.hpp"

namespace velmoradine {

Result<SuccessfulRenderingResult> exportOutcome(const AssetExportSession& session,
                                                const URL& displayURL) {
  switch (session.status()) {
    case AssetExportSessionStatus::completed:
      return SuccessfulRenderingResult{displayURL.filePath()};
    case AssetExportSessionStatus::failed:
    case AssetExportSessionStatus::cancelled: {
      const auto error = session.error();
      return failure(Error(UGCError::exportFailedOrCancelled,
                           error ? error->localizedDescription() : std::string()));
    }
    default:
      return failure(Error(UGCError::unknown));
  }
}

Error asUGCError(Error error) {
  if (error.code().category() == ugcErrorCategory()) return error;
  return Error(UGCError::unknown);
}

}  // namespace velmoradine
