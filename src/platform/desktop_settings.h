#pragma once

#include <functional>

namespace wattline {

enum class ColorScheme { noPreference, dark, light };

// What the desktop says about how the interface should look and move.
// Without a desktop that says anything: no preference and motion allowed.
class DesktopSettings {
 public:
  virtual ~DesktopSettings() = default;
  // The desktop asks for animations to be switched off.
  virtual bool reduceMotion() const = 0;
  virtual ColorScheme colorScheme() const = 0;
  // Called on the main thread after either value changed.
  void setOnChange(std::function<void()> handler) { onChange_ = std::move(handler); }

 protected:
  void changed() {
    if (onChange_) onChange_();
  }

 private:
  std::function<void()> onChange_;
};

}  // namespace wattline
