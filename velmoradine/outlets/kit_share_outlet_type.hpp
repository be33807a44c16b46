#pragma once

// The type object of each of the kit's own outlets: an outlet states only its
// names, the requirement kind its host must meet and the outlet class the
// type makes. One whose offer depends on more than its requirements
// overrides `canPerform` in a subclass.
//
// Threading: immutable once made; any thread may read it.

#include <memory>
#include <string>
#include <utility>

#include "velmoradine/outlets/share_outlet_protocol.hpp"

namespace velmoradine {

struct ShareOutletNames {
  std::string typeName;
  std::string imageName;
  std::string outletName;
  std::string canonicalOutletName;
};

template <class Outlet, class Requirements>
class KitShareOutletType : public ShareOutletType {
 public:
  explicit KitShareOutletType(ShareOutletNames names) : names_(std::move(names)) {}

  std::string typeName() const override { return names_.typeName; }
  std::string imageName() const override { return names_.imageName; }
  std::string outletName() const override { return names_.outletName; }
  std::string canonicalOutletName() const override { return names_.canonicalOutletName; }
  std::shared_ptr<const ShareOutletRequirementProtocol> requirements() const override {
    return std::make_shared<Requirements>();
  }
  std::shared_ptr<ShareOutletProtocol> make(std::shared_ptr<Content> content) const override {
    return std::make_shared<Outlet>(std::move(content));
  }

 private:
  const ShareOutletNames names_;
};

// The one object of `Type`, made on first use from `names`. Never destroyed:
// the registry hands it out to threads that may still read it while the
// process exits.
template <class Type>
const std::shared_ptr<const ShareOutletType>& sharedOutletType(ShareOutletNames names) {
  static const auto* type =
      new std::shared_ptr<const ShareOutletType>(std::make_shared<Type>(std::move(names)));
  return *type;
}

}  // namespace velmoradine
