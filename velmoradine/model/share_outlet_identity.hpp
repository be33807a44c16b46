#pragma once

// What content knows of the outlet that asks it for a share strategy: only
// that it is one. The outlet interface, `ShareOutletProtocol`, derives from
// it, so content can take the asking outlet as a parameter without naming the
// outlets area, which sits above it.

namespace velmoradine {

class ShareOutletIdentity {
 public:
  virtual ~ShareOutletIdentity() = default;
};

}  // namespace velmoradine
