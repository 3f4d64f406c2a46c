// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/testing/fake_windowing.h"

namespace wattline::testing {

class FakeDesktop::Token : public Subscription {
 public:
  Token(FakeDesktop& desktop, int id) : desktop_(desktop), id_(id) {}
  ~Token() override { desktop_.handlers_.erase(id_); }

 private:
  FakeDesktop& desktop_;
  int id_;
};

template <class Call>
void FakeDesktop::each(Call call) {
  std::vector<DesktopHandlers> current;
  for (const auto& [id, handlers] : handlers_) current.push_back(handlers);
  for (auto& handlers : current) call(handlers);
}

void FakeDesktop::activate() {
  ++activations;
  if (grantsActivation) setActive(true);
}

std::optional<Screen> FakeDesktop::mainScreen() const {
  if (screens_.empty()) return std::nullopt;
  return screens_.front();
}

std::unique_ptr<Subscription> FakeDesktop::observe(DesktopHandlers handlers) {
  int id = next_++;
  handlers_.emplace(id, std::move(handlers));
  return std::make_unique<Token>(*this, id);
}

void FakeDesktop::setActive(bool active, bool notify) {
  if (active == active_) return;
  active_ = active;
  if (notify) each([active](DesktopHandlers& h) { active ? h.becameActive() : h.resignedActive(); });
}

void FakeDesktop::setKeyWindow(std::optional<KeyWindow> window) {
  bool panelWasKey = panel_ && key_ && key_->id == panel_->id();
  key_ = std::move(window);
  bool panelIsKey = panel_ && key_ && key_->id == panel_->id();
  if (panelWasKey && !panelIsKey && panel_->handlers().resignedKey) panel_->handlers().resignedKey();
  if (!panelWasKey && panelIsKey && panel_->handlers().becameKey) panel_->handlers().becameKey();
  if (key_) each([this](DesktopHandlers& h) { h.windowBecameKey(*key_); });
}

void FakeDesktop::setScreens(std::vector<Screen> screens) {
  screens_ = std::move(screens);
  each([](DesktopHandlers& h) { h.screensChanged(); });
}

bool FakeDesktop::pressEscape() {
  bool consumed = false;
  const WindowId window = key_ ? key_->id : 0;
  each([&](DesktopHandlers& h) { consumed = h.escapeKey(window) || consumed; });
  return consumed;
}

void FakeDesktop::clickOutside() {
  each([](DesktopHandlers& h) { h.outsideMouseDown(); });
}

void FakeDesktop::hideApplication() {
  each([](DesktopHandlers& h) { h.hidden(); });
}

void FakeDesktop::terminate() {
  each([](DesktopHandlers& h) { h.willTerminate(); });
}

FakePanelWindow::FakePanelWindow(FakeDesktop& desktop) : desktop_(desktop) {
  desktop_.panel_ = this;
}

FakePanelWindow::~FakePanelWindow() {
  if (desktop_.panel_ == this) desktop_.panel_ = nullptr;
}

bool FakePanelWindow::isKey() const {
  auto key = desktop_.keyWindow();
  return key && key->id == kId;
}

void FakePanelWindow::orderOut() {
  operations.push_back("orderOut");
  visible_ = false;
  if (isKey()) desktop_.setKeyWindow(std::nullopt);
}

void FakePanelWindow::makeKeyAndOrderFront() {
  operations.push_back("makeKey");
  visible_ = true;
  if (duringMakeKey) duringMakeKey();
  if (desktop_.isActive() && !isKey())
    desktop_.setKeyWindow(KeyWindow{kId, identifier(), "瓦迹", false, true});
}

void FakePanelWindow::setFrame(const Rect& frame) {
  operations.push_back("setFrame");
  frame_ = frame;
}

std::optional<int> FakePanelWindow::screen() const {
  Rect centre{frame_.x + frame_.width / 2, frame_.y + frame_.height / 2, 0, 0};
  for (const auto& screen : desktop_.screens())
    if (screen.frame.contains(centre)) return screen.id;
  return std::nullopt;
}

PanelLayout FakePanelWindow::layout() const {
  Rect bounds{0, 0, frame_.width, frame_.height};
  return {bounds, bounds, bounds, bounds};
}

std::unique_ptr<Subscription> FakePanelWindow::observe(PanelWindowHandlers handlers) {
  handlers_ = std::move(handlers);
  return nullptr;
}

void FakePanelWindow::requestClose() {
  handlers_.closeRequested();
  orderOut();
  handlers_.willClose();
}

std::optional<HistoryWindowState> FakeHistoryPresenter::window() const {
  auto key = desktop_.keyWindow();
  return HistoryWindowState{kId, visible, miniaturized, key && key->id == kId};
}

bool FakeHistoryPresenter::coordinatedPresent(std::uint64_t generation, bool restoreMinimized, bool focus) {
  presents.emplace_back(generation, restoreMinimized, focus);
  presented_ = true;
  bool changed = miniaturized;
  if (miniaturized) {
    if (!restoreMinimized) return false;
    miniaturized = false;
  }
  if (!visible) visible = changed = true;
  if (focus && desktop_.isActive() && !window()->key) {
    desktop_.setKeyWindow(KeyWindow{kId, "", "功耗历史 · 最近 7 天", true, true});
    changed = true;
  }
  return changed;
}

bool FakeHistoryPresenter::coordinatedSuspend(std::uint64_t generation) {
  suspends.push_back(generation);
  presented_ = false;
  if (!visible && !miniaturized) return false;
  visible = miniaturized = false;
  if (window()->key) desktop_.setKeyWindow(std::nullopt);
  return true;
}

HistoryPresenterFactory FakeHistoryFactory::factory() {
  return [this](HistoryCallbacks callbacks) -> std::unique_ptr<HistoryPresenter> {
    if (!available) return nullptr;
    auto presenter = std::make_unique<FakeHistoryPresenter>(desktop, std::move(callbacks));
    created = presenter.get();
    return presenter;
  };
}

}  // namespace wattline::testing
