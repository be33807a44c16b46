#pragma once

// UGC formats: ordered lists of layer attributes. Formats are reference
// objects (held by std::shared_ptr): a format shared by several layer
// configurations shows every holder's changes to all of them. Not
// synchronised; formats are built and read on the main thread.

#include <initializer_list>
#include <memory>
#include <vector>

#include "velmoradine/model/mutable_layer_attribute.hpp"

namespace velmoradine {

class UGCFormat {
 public:
  virtual ~UGCFormat() = default;
  virtual const std::vector<MutableLayerAttribute>& attributes() const = 0;
  virtual void setAttributes(std::vector<MutableLayerAttribute> attributes) = 0;
  virtual void appendAttribute(MutableLayerAttribute attribute) = 0;
};

// The three formats behave alike; their types pair them with text, image and
// video layer configurations.
template <typename Format>
class UGCAttributeList : public UGCFormat {
 public:
  // A new format holding `attributes` in the given order (none allowed).
  static std::shared_ptr<Format> create(
      std::initializer_list<MutableLayerAttribute> attributes = {}) {
    return std::make_shared<Format>(std::vector<MutableLayerAttribute>(attributes));
  }

  UGCAttributeList() = default;
  UGCAttributeList(std::initializer_list<MutableLayerAttribute> attributes)
      : attributes_(attributes) {}
  explicit UGCAttributeList(std::vector<MutableLayerAttribute> attributes)
      : attributes_(std::move(attributes)) {}

  const std::vector<MutableLayerAttribute>& attributes() const override { return attributes_; }
  void setAttributes(std::vector<MutableLayerAttribute> attributes) override {
    attributes_ = std::move(attributes);
  }
  void appendAttribute(MutableLayerAttribute attribute) override {
    attributes_.push_back(std::move(attribute));
  }

 private:
  std::vector<MutableLayerAttribute> attributes_;
};

class UGCTextFormat final : public UGCAttributeList<UGCTextFormat> {
 public:
  using UGCAttributeList::UGCAttributeList;
};
class UGCImageFormat final : public UGCAttributeList<UGCImageFormat> {
 public:
  using UGCAttributeList::UGCAttributeList;
};
class UGCVideoFormat final : public UGCAttributeList<UGCVideoFormat> {
 public:
  using UGCAttributeList::UGCAttributeList;
};

}  // namespace velmoradine
