// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/history/history_window_controller.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

#include "ui/history/history_view.h"

namespace wattline {

namespace {

constexpr int kWidth = 720, kHeight = 840, kScreenMargin = 60;
constexpr int kMinimumWidth = 600, kMinimumHeight = 500;

bool applicationActive() {
  return QGuiApplication::applicationState() == Qt::ApplicationActive;
}

}  // namespace

// The titled window; its events go to the controller.
class HistoryWindow : public QWidget {
 public:
  explicit HistoryWindow(HistoryWindowController& controller) : controller_(controller) {
    setWindowTitle(QStringLiteral("功耗历史 · 最近 7 天"));
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    // Exposure is reported by the native window, which exists from here on.
    winId();
    windowHandle()->installEventFilter(this);
  }

 protected:
  void closeEvent(QCloseEvent* event) override {
    controller_.shouldClose();
    event->accept();
    controller_.willClose();
  }

  void changeEvent(QEvent* event) override {
    if (event->type() == QEvent::WindowStateChange && isVisible()) {
      const bool was = static_cast<QWindowStateChangeEvent*>(event)->oldState() & Qt::WindowMinimized;
      const bool is = windowState() & Qt::WindowMinimized;
      if (!was && is) controller_.didMiniaturize();
      if (was && !is) controller_.didDeminiaturize();
    } else if (event->type() == QEvent::ActivationChange) {
      controller_.report(isActiveWindow() ? "didBecomeKey" : "didResignKey");
    }
    QWidget::changeEvent(event);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Expose && watched == windowHandle()) {
      const bool exposed = windowHandle()->isExposed();
      if (exposed != exposed_) {
        exposed_ = exposed;
        controller_.report("occlusion");
      }
    }
    return QWidget::eventFilter(watched, event);
  }

 private:
  HistoryWindowController& controller_;
  bool exposed_ = false;
};

HistoryWindowController::HistoryWindowController(PowerMonitor& monitor, Scheduler& scheduler,
                                                 std::function<void()> onPresent,
                                                 std::function<void()> onClose, Observation onObservation,
                                                 std::function<Date()> currentDate)
    : onPresent_(std::move(onPresent)),
      onClose_(std::move(onClose)),
      onObservation_(std::move(onObservation)),
      monitor_(monitor),
      explorer_(std::make_unique<HistoryExplorerModel>(scheduler, monitor.historyStore().get(),
                                                       std::move(currentDate))),
      window_(std::make_unique<HistoryWindow>(*this)) {
  auto* content = new QVBoxLayout(window_.get());
  content->setContentsMargins(0, 0, 0, 0);
  content->addWidget(new HistoryView(monitor, *explorer_, false, window_.get()));

  QSize size(kWidth, kHeight);
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen) {
    const QRect area = screen->availableGeometry();
    size = QSize(std::min(area.width() - kScreenMargin, kWidth),
                 std::min(area.height() - kScreenMargin, kHeight));
  }
  window_->resize(size.expandedTo(window_->minimumSize()));
  if (screen) window_->move(screen->availableGeometry().center() - window_->rect().center());
  // Each ended write of the monitor's history lets a following cursor move on to the new second.
  monitorObserver_ = monitor_.observe([this](PowerMonitor::Field field) {
    if (field == PowerMonitor::Field::historyError) explorer_->recorded();
  });
}

HistoryWindowController::~HistoryWindowController() {
  monitor_.removeObserver(monitorObserver_);
}

QWidget* HistoryWindowController::window() const {
  return window_.get();
}

void HistoryWindowController::present() {
  if (onPresent_) return onPresent_();
  const bool activate = !applicationActive();
  coordinatedPresent(operationGeneration_ + 1, true, true);
  // An application is activated through one of its windows.
  if (activate && onScreen()) window_->activateWindow();
}

void HistoryWindowController::suspend() {
  if (onClose_) return onClose_();
  coordinatedSuspend(operationGeneration_ + 1);
}

bool HistoryWindowController::coordinatedPresent(std::uint64_t generation, bool restoreMinimized,
                                                 bool focus) {
  if (!window_) return false;
  operationGeneration_ = generation;
  documentPresented_ = true;
  bool changed = miniaturized();
  if (miniaturized()) {
    explorer_->setVisible(false);
    if (!restoreMinimized) return false;
    report("program.restore.begin");
    window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
  }
  if (!window_->isVisible()) {
    report("program.orderFront.begin");
    // A window closed while minimised comes back restored.
    window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
    window_->show();
    changed = true;
  }
  if (focus && applicationActive() && !window_->isActiveWindow() && !miniaturized()) {
    report("program.makeKey.begin");
    window_->raise();
    window_->activateWindow();
    changed = true;
  }
  syncExplorer();
  return changed;
}

bool HistoryWindowController::coordinatedSuspend(std::uint64_t generation) {
  if (!window_) return false;
  operationGeneration_ = generation;
  documentPresented_ = false;
  explorer_->setVisible(false);
  if (!window_->isVisible()) return false;
  ++programmaticCloseDepth_;
  report("program.close.begin");
  window_->close();
  report("program.close.end");
  --programmaticCloseDepth_;
  return true;
}

void HistoryWindowController::report(const char* event) {
  if (onObservation_) onObservation_(event, operationGeneration_, programmaticCloseDepth_ > 0);
}

bool HistoryWindowController::miniaturized() const {
  // A hidden window is not in the taskbar, whatever state it keeps for its next showing.
  return window_->isVisible() && window_->isMinimized();
}

bool HistoryWindowController::onScreen() const {
  return window_->isVisible() && !window_->isMinimized();
}

void HistoryWindowController::syncExplorer() {
  explorer_->setVisible(onScreen());
}

void HistoryWindowController::shouldClose() {
  report("shouldClose");
  if (programmaticCloseDepth_ != 0) return;
  // The user closed the window.
  documentPresented_ = false;
  if (onClose_) onClose_();
}

void HistoryWindowController::willClose() {
  explorer_->setVisible(false);
  report("willClose");
}

void HistoryWindowController::didMiniaturize() {
  explorer_->setVisible(false);
  report("didMiniaturize");
}

void HistoryWindowController::didDeminiaturize() {
  syncExplorer();
  report("didDeminiaturize");
}

}  // namespace wattline
