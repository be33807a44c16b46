#include "velmoradine/outlets/kit_outlets.hpp"

namespace velmoradine {

ShareOutletTypeList kitShareOutletTypes() {
  return {};
}

}  // namespace velmoradine
