#pragma once

// Asks the user whether the host may save to the photo library before an
// outlet saves a video there, or sends them to the settings page when they
// already said no. The answer goes to the delegate: `succeeded` when the
// library may be written, `cancelled` when the user declined or went to the
// settings, `failed` when the library's own prompt was refused.
//
// A restricted library (one the user cannot open up to the host, for
// instance because an administrator locked it) is treated as a refusal: the
// user sees the after-refusal dialog, and "Yes, Please!" opens the settings
// page, where the restriction is shown and where it is lifted. A dialog that
// promised nothing would leave the user with a dead button.
//
// Threading: `requestPermission` runs on the main thread (it presents an
// alert). The delegate hears the answer on the main thread, except after the
// library's own prompt, whose answer arrives on a thread of the library's
// choosing. A helper keeps itself alive while a dialog or a request of its
// own is pending.

#include <memory>

#include "velmoradine/outlets/share_outlet_protocol.hpp"

namespace velmoradine {

class UIAlertController;
class UIViewController;

class PhotoPermissionHelperDelegate {
 public:
  virtual ~PhotoPermissionHelperDelegate() = default;
  virtual void succeeded() = 0;
  virtual void cancelled() = 0;
  virtual void failed() = 0;
};

class PhotoPermissionHelper : public std::enable_shared_from_this<PhotoPermissionHelper> {
 public:
  // The dialogs name `content`'s type and `shareOutlet`'s outletName. The
  // presenting controller and the delegate are held weakly.
  static std::shared_ptr<PhotoPermissionHelper> make(
      std::weak_ptr<UIViewController> viewController, std::shared_ptr<Content> content,
      std::shared_ptr<ShareOutletProtocol> shareOutlet,
      std::weak_ptr<PhotoPermissionHelperDelegate> delegate);

  void requestPermission();

  // Set the delegate before `requestPermission`: answers read it from other threads.
  std::shared_ptr<PhotoPermissionHelperDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<PhotoPermissionHelperDelegate> delegate) {
    delegate_ = std::move(delegate);
  }

 private:
  PhotoPermissionHelper(std::weak_ptr<UIViewController> viewController,
                        std::shared_ptr<Content> content,
                        std::shared_ptr<ShareOutletProtocol> shareOutlet,
                        std::weak_ptr<PhotoPermissionHelperDelegate> delegate);

  void askFirstTime();
  void askAfterRefusal();
  void requestAuthorization();
  void openSettings();
  std::shared_ptr<UIAlertController> dialog(std::string title, std::string message,
                                            void (PhotoPermissionHelper::*yes)());
  void present(const std::shared_ptr<UIAlertController>& alert);
  void succeeded();
  void cancelled();
  void failed();

  std::weak_ptr<UIViewController> viewController_;
  std::shared_ptr<Content> content_;
  std::shared_ptr<ShareOutletProtocol> shareOutlet_;
  std::weak_ptr<PhotoPermissionHelperDelegate> delegate_;
};

}  // namespace velmoradine
