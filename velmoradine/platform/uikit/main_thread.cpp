#include "velmoradine/platform/uikit/main_thread.hpp"

#include <string>

#include "velmoradine/platform/dispatch/run_loop.hpp"
#include "velmoradine/platform/foundation/fatal.hpp"

namespace velmoradine {

void assertMainThread(const char* operation) {
  if (RunLoop::isMainThread()) return;
  fatalError(std::string("UIKit: ") + operation + " must be called on the main thread");
}

}  // namespace velmoradine
