#pragma once

// A compositing layer tree, modelled on the layer model that the kit's layer
// attributes name: every property an attribute can set, with the same geometry
// rules. A layer's `frame` is derived from `bounds`, `position`, `anchorPoint`
// and `transform`; setting the frame sets `bounds.size` and `position` so that
// the transformed bounds cover the given rectangle. Sub-layers are drawn in
// list order, ordered by `zPosition` among siblings (stable), above the
// layer's own background and contents and below its border.
//
// Layers are not synchronised: build and change a tree on one thread, and do
// not change it while a renderer draws it.

#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "velmoradine/platform/graphics/color.hpp"
#include "velmoradine/platform/graphics/font.hpp"
#include "velmoradine/platform/graphics/geometry.hpp"
#include "velmoradine/platform/graphics/image.hpp"
#include "velmoradine/platform/graphics/layer_constants.hpp"
#include "velmoradine/platform/graphics/path.hpp"
#include "velmoradine/platform/graphics/text.hpp"

namespace velmoradine {

// Dictionaries and lists the layer stores for the host but does not draw
// (style, filters, actions): null when unset.
using LayerDictionary = nlohmann::json;

// The version of the layer model this implementation provides; attributes
// introduced with a later platform version are not applied.
struct LayerPlatformVersion {
  int major = 0;
  int minor = 0;
  bool isAtLeast(int wantedMajor, int wantedMinor) const {
    return major > wantedMajor || (major == wantedMajor && minor >= wantedMinor);
  }
  static LayerPlatformVersion current() { return {13, 0}; }
};

class Layer : public std::enable_shared_from_this<Layer> {
 public:
  Layer() = default;
  virtual ~Layer() = default;
  Layer(const Layer&) = delete;
  Layer& operator=(const Layer&) = delete;

  static std::shared_ptr<Layer> create() { return std::make_shared<Layer>(); }
  virtual bool isTextLayer() const { return false; }

  // Geometry.
  const Rect& bounds() const { return bounds_; }
  void setBounds(Rect value) { bounds_ = value; }
  Rect frame() const;
  void setFrame(Rect value);
  AffineTransform affineTransform() const { return transform_.affineTransform(); }
  void setAffineTransform(const AffineTransform& value) {
    transform_ = Transform3D::makeAffineTransform(value);
  }
  // The point that `anchorPoint` names, in the layer's own coordinates.
  Point anchorPointInBounds() const;
  // Maps the layer's own coordinates into its superlayer's (before the
  // superlayer's sublayer transform and flip).
  AffineTransform transformToSuperlayer() const;

  // The tree. A layer that would become its own ancestor is refused (the
  // call returns false and changes nothing).
  const std::vector<std::shared_ptr<Layer>>& sublayers() const { return sublayers_; }
  bool setSublayers(std::vector<std::shared_ptr<Layer>> layers);
  bool addSublayer(const std::shared_ptr<Layer>& layer);
  bool insertSublayer(const std::shared_ptr<Layer>& layer, std::size_t index);
  void removeFromSuperlayer();
  std::shared_ptr<Layer> superlayer() const { return superlayer_.lock(); }
  const std::shared_ptr<Layer>& mask() const { return mask_; }
  bool setMask(std::shared_ptr<Layer> layer);
  // Whether `layer` is this layer or one of its ancestors (through
  // superlayers or as some layer's mask).
  bool isSelfOrAncestor(const Layer* layer) const;

  // The image drawn in the layer's bounds, placed by the contents gravity.
  const std::optional<Image>& contents() const { return contents_; }
  void setContents(std::optional<Image> value) { contents_ = std::move(value); }
  // The part of the contents shown, in unit coordinates of the image (origin top left).
  const Rect& contentsRect() const { return contentsRect_; }
  void setContentsRect(Rect value) { contentsRect_ = std::move(value); }
  // The stretchable middle of the contents, in unit coordinates; the parts outside keep their
  // natural size.
  const Rect& contentsCenter() const { return contentsCenter_; }
  void setContentsCenter(Rect value) { contentsCenter_ = std::move(value); }
  ContentsGravity contentsGravity() const { return contentsGravity_; }
  void setContentsGravity(ContentsGravity value) { contentsGravity_ = value; }
  float opacity() const { return opacity_; }
  void setOpacity(float value) { opacity_ = value; }
  bool isHidden() const { return hidden_; }
  void setHidden(bool value) { hidden_ = value; }
  bool masksToBounds() const { return masksToBounds_; }
  void setMasksToBounds(bool value) { masksToBounds_ = value; }
  bool isDoubleSided() const { return doubleSided_; }
  void setDoubleSided(bool value) { doubleSided_ = value; }
  double cornerRadius() const { return cornerRadius_; }
  void setCornerRadius(double value) { cornerRadius_ = value; }
  CornerMaskSet maskedCorners() const { return maskedCorners_; }
  void setMaskedCorners(CornerMaskSet value) { maskedCorners_ = value; }
  const std::optional<Color>& borderColor() const { return borderColor_; }
  void setBorderColor(std::optional<Color> value) { borderColor_ = std::move(value); }
  double borderWidth() const { return borderWidth_; }
  void setBorderWidth(double value) { borderWidth_ = value; }
  const std::optional<Color>& backgroundColor() const { return backgroundColor_; }
  void setBackgroundColor(std::optional<Color> value) { backgroundColor_ = std::move(value); }
  float shadowOpacity() const { return shadowOpacity_; }
  void setShadowOpacity(float value) { shadowOpacity_ = value; }
  double shadowRadius() const { return shadowRadius_; }
  void setShadowRadius(double value) { shadowRadius_ = value; }
  const Size& shadowOffset() const { return shadowOffset_; }
  void setShadowOffset(Size value) { shadowOffset_ = std::move(value); }
  const std::optional<Color>& shadowColor() const { return shadowColor_; }
  void setShadowColor(std::optional<Color> value) { shadowColor_ = std::move(value); }
  const std::optional<Path>& shadowPath() const { return shadowPath_; }
  void setShadowPath(std::optional<Path> value) { shadowPath_ = std::move(value); }
  const LayerDictionary& style() const { return style_; }
  void setStyle(LayerDictionary value) { style_ = std::move(value); }
  bool allowsEdgeAntialiasing() const { return allowsEdgeAntialiasing_; }
  void setAllowsEdgeAntialiasing(bool value) { allowsEdgeAntialiasing_ = value; }
  bool allowsGroupOpacity() const { return allowsGroupOpacity_; }
  void setAllowsGroupOpacity(bool value) { allowsGroupOpacity_ = value; }
  const LayerDictionary& filters() const { return filters_; }
  void setFilters(LayerDictionary value) { filters_ = std::move(value); }
  float minificationFilterBias() const { return minificationFilterBias_; }
  void setMinificationFilterBias(float value) { minificationFilterBias_ = value; }
  ContentsFilter magnificationFilter() const { return magnificationFilter_; }
  void setMagnificationFilter(ContentsFilter value) { magnificationFilter_ = value; }
  bool isOpaque() const { return opaque_; }
  void setOpaque(bool value) { opaque_ = value; }
  EdgeMaskSet edgeAntialiasingMask() const { return edgeAntialiasingMask_; }
  void setEdgeAntialiasingMask(EdgeMaskSet value) { edgeAntialiasingMask_ = value; }
  bool isGeometryFlipped() const { return geometryFlipped_; }
  void setGeometryFlipped(bool value) { geometryFlipped_ = value; }
  bool drawsAsynchronously() const { return drawsAsynchronously_; }
  void setDrawsAsynchronously(bool value) { drawsAsynchronously_ = value; }
  bool shouldRasterize() const { return shouldRasterize_; }
  void setShouldRasterize(bool value) { shouldRasterize_ = value; }
  double rasterizationScale() const { return rasterizationScale_; }
  void setRasterizationScale(double value) { rasterizationScale_ = value; }
  ContentsFormat contentsFormat() const { return contentsFormat_; }
  void setContentsFormat(ContentsFormat value) { contentsFormat_ = value; }
  const Point& position() const { return position_; }
  void setPosition(Point value) { position_ = std::move(value); }
  double zPosition() const { return zPosition_; }
  void setZPosition(double value) { zPosition_ = value; }
  double anchorPointZ() const { return anchorPointZ_; }
  void setAnchorPointZ(double value) { anchorPointZ_ = value; }
  const Point& anchorPoint() const { return anchorPoint_; }
  void setAnchorPoint(Point value) { anchorPoint_ = std::move(value); }
  double contentsScale() const { return contentsScale_; }
  void setContentsScale(double value) { contentsScale_ = value; }
  const Transform3D& transform() const { return transform_; }
  void setTransform(Transform3D value) { transform_ = std::move(value); }
  const Transform3D& sublayerTransform() const { return sublayerTransform_; }
  void setSublayerTransform(Transform3D value) { sublayerTransform_ = std::move(value); }
  const LayerDictionary& actions() const { return actions_; }
  void setActions(LayerDictionary value) { actions_ = std::move(value); }
  const std::optional<std::string>& name() const { return name_; }
  void setName(std::optional<std::string> value) { name_ = std::move(value); }
  CornerCurve cornerCurve() const { return cornerCurve_; }
  void setCornerCurve(CornerCurve value) { cornerCurve_ = value; }

 private:
  bool canAdopt(const Layer* layer) const;
  void detach(const std::shared_ptr<Layer>& layer);

  Rect bounds_;
  std::vector<std::shared_ptr<Layer>> sublayers_;
  std::weak_ptr<Layer> superlayer_;
  std::shared_ptr<Layer> mask_;
  std::weak_ptr<Layer> maskOwner_;
  std::optional<Image> contents_{};
  Rect contentsRect_{0, 0, 1, 1};
  Rect contentsCenter_{0, 0, 1, 1};
  ContentsGravity contentsGravity_{ContentsGravity::resize};
  float opacity_{1};
  bool hidden_{false};
  bool masksToBounds_{false};
  bool doubleSided_{true};
  double cornerRadius_{0};
  CornerMaskSet maskedCorners_{};
  std::optional<Color> borderColor_{Color::black()};
  double borderWidth_{0};
  std::optional<Color> backgroundColor_{};
  float shadowOpacity_{0};
  double shadowRadius_{3};
  Size shadowOffset_{0, -3};
  std::optional<Color> shadowColor_{Color::black()};
  std::optional<Path> shadowPath_{};
  LayerDictionary style_{};
  bool allowsEdgeAntialiasing_{false};
  bool allowsGroupOpacity_{true};
  LayerDictionary filters_{};
  float minificationFilterBias_{0};
  ContentsFilter magnificationFilter_{ContentsFilter::linear};
  bool opaque_{false};
  EdgeMaskSet edgeAntialiasingMask_{};
  bool geometryFlipped_{false};
  bool drawsAsynchronously_{false};
  bool shouldRasterize_{false};
  double rasterizationScale_{1};
  ContentsFormat contentsFormat_{ContentsFormat::RGBA8Uint};
  Point position_{};
  double zPosition_{0};
  double anchorPointZ_{0};
  Point anchorPoint_{0.5, 0.5};
  double contentsScale_{1};
  Transform3D transform_{};
  Transform3D sublayerTransform_{};
  LayerDictionary actions_{};
  std::optional<std::string> name_{};
  CornerCurve cornerCurve_{CornerCurve::circular};
};

class TextLayer : public Layer {
 public:
  static std::shared_ptr<TextLayer> create() { return std::make_shared<TextLayer>(); }
  bool isTextLayer() const override { return true; }

  const std::optional<TextString>& string() const { return string_; }
  void setString(std::optional<TextString> value) { string_ = std::move(value); }
  // The face of plain text; its point size is not used (`fontSize` is).
  const Font& font() const { return font_; }
  void setFont(Font value) { font_ = std::move(value); }
  double fontSize() const { return fontSize_; }
  void setFontSize(double value) { fontSize_ = value; }
  const std::optional<Color>& foregroundColor() const { return foregroundColor_; }
  void setForegroundColor(std::optional<Color> value) { foregroundColor_ = value; }
  bool isWrapped() const { return wrapped_; }
  void setWrapped(bool value) { wrapped_ = value; }
  TextLayerAlignmentMode alignmentMode() const { return alignmentMode_; }
  void setAlignmentMode(TextLayerAlignmentMode value) { alignmentMode_ = value; }
  TextLayerTruncationMode truncationMode() const { return truncationMode_; }
  void setTruncationMode(TextLayerTruncationMode value) { truncationMode_ = value; }
  bool allowsFontSubpixelQuantization() const { return allowsFontSubpixelQuantization_; }
  void setAllowsFontSubpixelQuantization(bool value) { allowsFontSubpixelQuantization_ = value; }

 private:
  std::optional<TextString> string_;
  Font font_{"Helvetica", 36};
  double fontSize_ = 36;
  std::optional<Color> foregroundColor_{Color::white()};
  bool wrapped_ = false;
  TextLayerAlignmentMode alignmentMode_ = TextLayerAlignmentMode::natural;
  TextLayerTruncationMode truncationMode_ = TextLayerTruncationMode::none;
  bool allowsFontSubpixelQuantization_ = false;
};

}  // namespace velmoradine
