// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/qt/qt_panel_window.h"

#include <xcb/xcb.h>

#include <QtGui/qguiapplication_platform.h>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QPainterPath>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <cstring>

#include "platform/qt/qt_desktop.h"
#include "platform/qt/screen_geometry.h"

namespace wattline {

namespace {

constexpr double kCornerRadius = 18;
const Qt::WindowFlags kPanelFlags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;

void call(const std::function<void()>& handler) {
  if (handler) handler();
}

QRegion roundedRegion(const QSize& size) {
  QPainterPath path;
  path.addRoundedRect(QRectF(QPointF(0, 0), size), kCornerRadius, kCornerRadius);
  return QRegion(path.toFillPolygon().toPolygon());
}

Rect plainRect(const QRect& rect) {
  return {double(rect.x()), double(rect.y()), double(rect.width()), double(rect.height())};
}

}  // namespace

bool compositorRunning() {
  const QString platform = QGuiApplication::platformName();
  if (platform.startsWith("wayland")) return true;  // Wayland compositors always composite
  if (platform != "xcb") return false;
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
  if (!connection) return false;
  // A compositing manager owns this selection (screen 0: one X screen per display is the rule today).
  const char* name = "_NET_WM_CM_S0";
  xcb_intern_atom_reply_t* atom =
      xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, std::strlen(name), name), nullptr);
  if (!atom) return false;
  xcb_atom_t selection = atom->atom;
  std::free(atom);
  if (selection == XCB_ATOM_NONE) return false;
  xcb_get_selection_owner_reply_t* owner =
      xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr);
  bool owned = owner && owner->owner != XCB_WINDOW_NONE;
  std::free(owner);
  return owned;
}

class QtPanelWindow::Surface : public QWidget {
 public:
  Surface() : QWidget(nullptr, kPanelFlags), translucent_(compositorRunning()) {
    setObjectName("WattlinePanel-v3");
    setWindowTitle(QStringLiteral("瓦迹"));
    setAttribute(Qt::WA_TranslucentBackground, translucent_);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    container = new QWidget(this);
    outer->addWidget(container);
    hosting = new QVBoxLayout(container);
    hosting->setContentsMargins(0, 0, 0, 0);
    hosting->setSpacing(0);
    resize(420, 300);
    createWindow();
  }

  void setTitled(bool titled) {
    if (titled == titled_) return;
    titled_ = titled;
    // Before the new flags make a new native window: only the rounded panel shows what lies below.
    setAttribute(Qt::WA_TranslucentBackground, translucent_ && !titled);
    setWindowFlags(titled ? Qt::WindowFlags(Qt::Window) : kPanelFlags);
    cutCorners();
    createWindow();
  }

  PanelWindowHandlers handlers;
  QWidget* container = nullptr;
  QVBoxLayout* hosting = nullptr;
  QWidget* content = nullptr;

 protected:
  bool event(QEvent* event) override {
    if (event->type() == QEvent::WindowActivate) call(handlers.becameKey);
    if (event->type() == QEvent::WindowDeactivate) call(handlers.resignedKey);
    return QWidget::event(event);
  }

  void closeEvent(QCloseEvent* event) override {
    call(handlers.closeRequested);
    event->accept();
    call(handlers.willClose);
  }

  void resizeEvent(QResizeEvent* event) override {
    cutCorners();
    QWidget::resizeEvent(event);
  }

  // The native window exists from the start, so that its exposure can be followed (installing the
  // filter again on the same window changes nothing).
  void createWindow() {
    create();
    windowHandle()->installEventFilter(this);
  }

  void cutCorners() {
    const QRegion region = roundedRegion(size());
    if (titled_)
      container->clearMask();
    else
      container->setMask(region);
    if (titled_ || translucent_)
      clearMask();
    else
      setMask(region);
  }

  bool eventFilter(QObject* object, QEvent* event) override {
    if (object == windowHandle() && event->type() == QEvent::Expose &&
        windowHandle()->isExposed() != exposed_) {
      exposed_ = !exposed_;
      call(handlers.occlusionChanged);
    }
    return false;
  }

 private:
  bool translucent_;
  bool titled_ = false;
  bool exposed_ = false;
};

namespace {

class HandlersToken : public Subscription {
 public:
  explicit HandlersToken(PanelWindowHandlers& handlers) : handlers_(handlers) {}
  ~HandlersToken() override { handlers_ = {}; }

 private:
  PanelWindowHandlers& handlers_;
};

}  // namespace

QtPanelWindow::QtPanelWindow() : surface_(std::make_unique<Surface>()) {}

QtPanelWindow::~QtPanelWindow() = default;

void QtPanelWindow::setContent(QWidget* content) {
  makeContent_ = nullptr;
  delete surface_->content;
  surface_->content = content;
  surface_->hosting->addWidget(content);
}

void QtPanelWindow::setContentMaker(std::function<QWidget*()> make) {
  makeContent_ = std::move(make);
}

void QtPanelWindow::makeContent() {
  if (!makeContent_) return;
  const auto make = std::move(makeContent_);
  setContent(make());
}

QWidget& QtPanelWindow::widget() {
  return *surface_;
}

WindowId QtPanelWindow::id() const {
  return windowId(surface_.get());
}

std::string QtPanelWindow::identifier() const {
  return surface_->objectName().toStdString();
}

bool QtPanelWindow::isVisible() const {
  return surface_->isVisible();
}

bool QtPanelWindow::isKey() const {
  return surface_->isActiveWindow();
}

void QtPanelWindow::orderOut() {
  surface_->hide();
}

void QtPanelWindow::setTitled(bool titled) {
  surface_->setTitled(titled);
}

void QtPanelWindow::makeKeyAndOrderFront() {
  makeContent();
  surface_->show();
  surface_->raise();
  surface_->activateWindow();
}

Rect QtPanelWindow::frame() const {
  return toUpwards(QRectF(surface_->geometry()), primaryScreenHeight());
}

void QtPanelWindow::setFrame(const Rect& frame) {
  surface_->setGeometry(toDownwards(frame, primaryScreenHeight()).toRect());
}

std::optional<int> QtPanelWindow::screen() const {
  QScreen* screen = surface_->screen();
  if (!screen) return std::nullopt;
  return screenInfo(*screen).id;
}

void QtPanelWindow::layoutContent() {
  makeContent();
  surface_->layout()->activate();
  surface_->hosting->activate();
}

PanelLayout QtPanelWindow::layout() const {
  QWidget* container = surface_->container;
  QWidget* content = surface_->content;
  return {plainRect(container->geometry()), plainRect(container->rect()),
          content ? plainRect(content->geometry()) : Rect{}, content ? plainRect(content->rect()) : Rect{}};
}

std::unique_ptr<Subscription> QtPanelWindow::observe(PanelWindowHandlers handlers) {
  surface_->handlers = std::move(handlers);
  return std::make_unique<HandlersToken>(surface_->handlers);
}

}  // namespace wattline
