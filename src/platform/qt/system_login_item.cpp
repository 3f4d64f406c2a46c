#include "platform/qt/system_login_item.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace wattline {

namespace {

constexpr const char* kErrorDomain = "Wattline.Startup";
constexpr const char* kEntryFileName = "wattline.desktop";

}  // namespace

std::optional<LoginItemError> refusedLoginItemLocation(const std::string& programPath) {
  // A temporary directory is emptied at boot and a removable disk may be absent at login.
  for (const char* place : {"/tmp/", "/var/tmp/", "/media/", "/run/media/", "/mnt/"})
    if (programPath.starts_with(place))
      return LoginItemError{kErrorDomain, 1,
                            "瓦迹正从临时目录或可移动磁盘运行（" + programPath +
                                "），登录时可能找不到它。请先安装瓦迹，再开启开机自启。"};
  return std::nullopt;
}

SystemLoginItem::SystemLoginItem()
    : SystemLoginItem(XdgAutostart::defaultDirectory(), XdgAutostart::runningExecutable()) {}

SystemLoginItem::SystemLoginItem(std::string autostartDirectory, std::string programPath)
    : entry_(std::move(autostartDirectory), kEntryFileName), programPath_(std::move(programPath)) {}

LoginItemState SystemLoginItem::state() const {
  if (programPath_.empty()) return LoginItemState::notFound;
  return entry_.startsProgram(programPath_) ? LoginItemState::enabled : LoginItemState::notRegistered;
}

std::optional<LoginItemError> SystemLoginItem::registerItem() {
  if (programPath_.empty()) return LoginItemError{kErrorDomain, 1, "无法确定程序自身的路径"};
  if (auto refused = refusedLoginItemLocation(programPath_)) return refused;
  if (auto failure = entry_.write(programPath_)) return LoginItemError{kErrorDomain, 1, *failure};
  return std::nullopt;
}

std::optional<LoginItemError> SystemLoginItem::unregisterItem() {
  if (auto failure = entry_.remove()) return LoginItemError{kErrorDomain, 1, *failure};
  return std::nullopt;
}

void SystemLoginItem::openSettings() {
  QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(entry_.directory())));
}

}  // namespace wattline
