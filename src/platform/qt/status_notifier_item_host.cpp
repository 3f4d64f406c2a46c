// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/qt/status_notifier_item_host.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include "platform/qt/log_categories.h"
#include "platform/qt/screen_geometry.h"

namespace wattline::sni {

// IconPixmap entries: (width, height, ARGB32 bytes in network order).
struct Pixmap {
  int width = 0;
  int height = 0;
  QByteArray data;
};
using Pixmaps = QList<Pixmap>;

// ToolTip: (icon name, icon pixmaps, title, text).
struct ToolTip {
  QString iconName;
  Pixmaps pixmaps;
  QString title;
  QString text;
};

QDBusArgument& operator<<(QDBusArgument& out, const Pixmap& pixmap) {
  out.beginStructure();
  out << pixmap.width << pixmap.height << pixmap.data;
  out.endStructure();
  return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, Pixmap& pixmap) {
  in.beginStructure();
  in >> pixmap.width >> pixmap.height >> pixmap.data;
  in.endStructure();
  return in;
}

QDBusArgument& operator<<(QDBusArgument& out, const ToolTip& tip) {
  out.beginStructure();
  out << tip.iconName << tip.pixmaps << tip.title << tip.text;
  out.endStructure();
  return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, ToolTip& tip) {
  in.beginStructure();
  in >> tip.iconName >> tip.pixmaps >> tip.title >> tip.text;
  in.endStructure();
  return in;
}

}  // namespace wattline::sni

Q_DECLARE_METATYPE(wattline::sni::Pixmap)
Q_DECLARE_METATYPE(wattline::sni::ToolTip)

namespace wattline {

// The exported interface; its slots and signals are the protocol's names.
class StatusNotifierItemAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
  Q_PROPERTY(QString Category READ category)
  Q_PROPERTY(QString Id READ id)
  Q_PROPERTY(QString Title READ title)
  Q_PROPERTY(QString Status READ status)
  Q_PROPERTY(wattline::sni::Pixmaps IconPixmap READ iconPixmap)
  Q_PROPERTY(QString IconAccessibleDesc READ iconAccessibleDesc)
  Q_PROPERTY(wattline::sni::ToolTip ToolTip READ toolTip)
  Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
  Q_PROPERTY(QString XAyatanaLabel READ label)
  Q_PROPERTY(QString XAyatanaLabelGuide READ labelGuide)

 public:
  explicit StatusNotifierItemAdaptor(StatusNotifierItemHost* host)
      : QDBusAbstractAdaptor(host), host_(host) {}

  QString category() const { return QStringLiteral("Hardware"); }
  QString id() const { return QStringLiteral("wattline"); }
  QString title() const { return QStringLiteral("瓦迹"); }
  QString status() const { return QStringLiteral("Active"); }
  sni::ToolTip toolTip() const { return {QString(), {}, title(), toolTip_}; }
  bool itemIsMenu() const { return false; }
  sni::Pixmaps iconPixmap() const { return pixmaps_; }
  QString iconAccessibleDesc() const { return accessibleDescription_; }
  QString label() const { return label_; }
  QString labelGuide() const { return guide_; }

  sni::Pixmaps pixmaps_;
  QString accessibleDescription_;
  QString toolTip_;
  QString label_;
  QString guide_;

 public slots:
  // Every click toggles the panel, which also carries the settings and quit.
  void Activate(int x, int y) { host_->clicked(x, y); }
  void SecondaryActivate(int x, int y) { host_->clicked(x, y); }
  void ContextMenu(int x, int y) { host_->clicked(x, y); }
  void Scroll(int, const QString&) {}

 signals:
  void NewTitle();
  void NewIcon();
  void NewToolTip();
  void NewStatus(const QString& status);
  void XAyatanaNewLabel(const QString& label, const QString& guide);

 private:
  StatusNotifierItemHost* host_;
};

namespace {

const QString itemPath = QStringLiteral("/StatusNotifierItem");

sni::Pixmap pixmap(const IconImage& image) {
  sni::Pixmap pixmap{image.size, image.size, QByteArray()};
  pixmap.data.reserve(int(image.pixels.size() * 4));
  for (std::uint32_t argb : image.pixels)
    for (int shift : {24, 16, 8, 0}) pixmap.data.append(char((argb >> shift) & 0xff));
  return pixmap;
}

}  // namespace

StatusNotifierItemHost::StatusNotifierItemHost(QDBusConnection bus)
    : bus_(std::move(bus)),
      service_(QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(QCoreApplication::applicationPid())),
      adaptor_(new StatusNotifierItemAdaptor(this)),
      watcher_(watcherService, bus_, QDBusServiceWatcher::WatchForRegistration) {
  qDBusRegisterMetaType<sni::Pixmap>();
  qDBusRegisterMetaType<sni::Pixmaps>();
  qDBusRegisterMetaType<sni::ToolTip>();
  if (!bus_.registerObject(itemPath, this) || !bus_.registerService(service_))
    qCWarning(logTray) << "the status item could not be put on the session bus:"
                       << bus_.lastError().message();
  connect(&watcher_, &QDBusServiceWatcher::serviceRegistered, this, [this] { registerWithWatcher(); });
  registerWithWatcher();
}

StatusNotifierItemHost::~StatusNotifierItemHost() {
  bus_.unregisterService(service_);
  bus_.unregisterObject(itemPath);
}

void StatusNotifierItemHost::registerWithWatcher() {
  QDBusMessage call =
      QDBusMessage::createMethodCall(watcherService, QStringLiteral("/StatusNotifierWatcher"), watcherService,
                                     QStringLiteral("RegisterStatusNotifierItem"));
  call << service_;
  auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
  connect(pending, &QDBusPendingCallWatcher::finished, this, [](QDBusPendingCallWatcher* done) {
    done->deleteLater();
    QDBusPendingReply<> reply = *done;
    // No watcher yet is no failure: it registers us when it comes.
    if (reply.isError() && reply.error().type() != QDBusError::ServiceUnknown)
      qCWarning(logTray) << "the tray did not take the status item:" << reply.error().message();
  });
}

void StatusNotifierItemHost::clicked(int x, int y) {
  activated(x == 0 && y == 0 ? std::nullopt : toUpwards(QRectF(x, y, 0, 0)));
}

void StatusNotifierItemHost::setIcon(std::vector<IconImage> images) {
  adaptor_->pixmaps_.clear();
  for (const IconImage& image : images) adaptor_->pixmaps_.append(pixmap(image));
  emit adaptor_->NewIcon();
}

void StatusNotifierItemHost::setTitle(const std::string& title, const std::string& guide) {
  adaptor_->label_ = QString::fromStdString(title);
  adaptor_->guide_ = QString::fromStdString(guide);
  emit adaptor_->XAyatanaNewLabel(adaptor_->label_, adaptor_->guide_);
}

void StatusNotifierItemHost::setToolTip(const std::string& text) {
  adaptor_->toolTip_ = QString::fromStdString(text);
  emit adaptor_->NewToolTip();
}

void StatusNotifierItemHost::setAccessibilityLabel(const std::string& text) {
  // Hosts read it with the icon; a change alone is not worth re-sending the picture.
  adaptor_->accessibleDescription_ = QString::fromStdString(text);
}

}  // namespace wattline

#include "status_notifier_item_host.moc"
