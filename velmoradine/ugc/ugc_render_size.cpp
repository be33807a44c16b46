#include "velmoradine/ugc/ugc_render_size.hpp"

#include <cmath>
#include <sstream>

#include "velmoradine/model/ugc_error.hpp"

namespace velmoradine {
namespace {

bool encodable(double side) {
  return std::isfinite(side) && side >= 2 && side <= kMaximumRenderSide && std::fmod(side, 2) == 0;
}

}  // namespace

Result<void> checkRenderSize(Size size) {
  if (encodable(size.width) && encodable(size.height)) return {};
  std::ostringstream message;
  message << "Render size " << size.width << " × " << size.height
          << " cannot be encoded: width and height must be even whole numbers of pixels from 2 "
             "to "
          << kMaximumRenderSide;
  return failure(Error(UGCError::videoError, message.str()));
}

}  // namespace velmoradine
