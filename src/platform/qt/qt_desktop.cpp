// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/qt/qt_desktop.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include "platform/qt/screen_geometry.h"

namespace wattline {

namespace {

QWidget* topLevelWidget(const QWindow& window) {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (widget->windowHandle() == &window) return widget;
  return nullptr;
}

// Delivers the desktop's events to one set of handlers until it is destroyed.
class DesktopObserver : public QObject, public Subscription {
 public:
  explicit DesktopObserver(DesktopHandlers handlers)
      : handlers_(std::move(handlers)), state_(QGuiApplication::applicationState()) {
    qApp->installEventFilter(this);
    connect(qApp, &QGuiApplication::applicationStateChanged, this, &DesktopObserver::stateChanged);
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* window) {
      if (window) handlers_.windowBecameKey(keyWindowInfo(*window));
    });
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { handlers_.willTerminate(); });
    connect(qApp, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
      follow(screen);
      handlers_.screensChanged();
    });
    connect(qApp, &QGuiApplication::screenRemoved, this, [this] { handlers_.screensChanged(); });
    connect(qApp, &QGuiApplication::primaryScreenChanged, this, [this] { handlers_.screensChanged(); });
    for (QScreen* screen : QGuiApplication::screens()) follow(screen);
  }

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    // Key events reach the window first and its widgets after: look at them once, there. An open
    // menu or a modal alert takes its own Escape.
    if (event->type() != QEvent::KeyPress || !object->isWindowType() ||
        static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape || QApplication::activePopupWidget() ||
        QApplication::activeModalWidget())
      return false;
    auto& window = static_cast<QWindow&>(*object);
    const QWidget* widget = topLevelWidget(window);
    return handlers_.escapeKey(widget ? windowId(widget) : reinterpret_cast<WindowId>(&window));
  }

 private:
  void follow(QScreen* screen) {
    connect(screen, &QScreen::geometryChanged, this, [this] { handlers_.screensChanged(); });
    connect(screen, &QScreen::availableGeometryChanged, this, [this] { handlers_.screensChanged(); });
  }

  void stateChanged(Qt::ApplicationState state) {
    Qt::ApplicationState previous = state_;
    state_ = state;
    if (state == Qt::ApplicationActive) {
      handlers_.becameActive();
    } else if (state == Qt::ApplicationHidden) {
      handlers_.hidden();
    } else if (previous == Qt::ApplicationActive) {
      handlers_.outsideMouseDown();
      handlers_.resignedActive();
    }
  }

  DesktopHandlers handlers_;
  Qt::ApplicationState state_;
};

}  // namespace

WindowId windowId(const QWidget* topLevel) {
  return reinterpret_cast<WindowId>(topLevel);
}

KeyWindow keyWindowInfo(QWindow& window) {
  QWidget* widget = topLevelWidget(window);
  Qt::WindowType type = window.type();
  bool titled =
      (type == Qt::Window || type == Qt::Dialog) && !window.flags().testFlag(Qt::FramelessWindowHint);
  return {widget ? windowId(widget) : reinterpret_cast<WindowId>(&window),
          (widget ? widget->objectName() : window.objectName()).toStdString(), window.title().toStdString(),
          titled, window.isVisible()};
}

double primaryScreenHeight() {
  QScreen* primary = QGuiApplication::primaryScreen();
  return primary ? primary->geometry().height() : 0;
}

Screen screenInfo(QScreen& screen) {
  static int lastId = 0;
  QVariant id = screen.property("wattlineScreenId");
  if (!id.isValid()) {
    id = ++lastId;
    screen.setProperty("wattlineScreenId", id);
  }
  ScreenFrames frames = screenFrames(screen);
  // No X11 or Wayland display reports a camera housing: no unsafe band, no side areas.
  return {id.toInt(), frames.frame, frames.visible, 0, {}};
}

QtDesktop::QtDesktop() {
  QObject::connect(qApp, &QGuiApplication::applicationStateChanged, &context_,
                   [this] { activationPending_ = false; });
}

bool QtDesktop::isActive() const {
  return activationPending_ || QGuiApplication::applicationState() == Qt::ApplicationActive;
}

void QtDesktop::activate() {
  if (QGuiApplication::applicationState() != Qt::ApplicationActive) activationPending_ = true;
}

std::optional<KeyWindow> QtDesktop::keyWindow() const {
  QWindow* window = QGuiApplication::focusWindow();
  if (!window) return std::nullopt;
  return keyWindowInfo(*window);
}

std::vector<Screen> QtDesktop::screens() const {
  std::vector<Screen> result;
  for (QScreen* screen : QGuiApplication::screens()) result.push_back(screenInfo(*screen));
  return result;
}

std::optional<Screen> QtDesktop::mainScreen() const {
  QScreen* primary = QGuiApplication::primaryScreen();
  if (!primary) return std::nullopt;
  return screenInfo(*primary);
}

std::unique_ptr<Subscription> QtDesktop::observe(DesktopHandlers handlers) {
  return std::make_unique<DesktopObserver>(std::move(handlers));
}

}  // namespace wattline
