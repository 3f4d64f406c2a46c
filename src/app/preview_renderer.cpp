// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/preview_renderer.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QVBoxLayout>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "app/gif_destination.h"
#include "app/system_readers.h"
#include "platform/linux/system_clock.h"
#include "platform/qt/qt_scheduler.h"
#include "platform/qt/qt_user_defaults.h"
#include "platform/qt/system_login_item.h"
#include "power/power_monitor.h"
#include "ui/panel/flow_diagram.h"
#include "ui/panel/flow_panel.h"
#include "ui/style/fonts.h"
#include "ui/style/qt_color.h"

namespace wattline {

namespace {

constexpr int kGifFrames = 48;
constexpr double kGifFrameSeconds = 1.0 / 16;

// A failure with its domain and code; the description is what the user reads.
struct PreviewError {
  std::string description;
};

PreviewError codedError(const char* domain, int code) {
  return {"The operation couldn’t be completed. (" + std::string(domain) + " error " + std::to_string(code) +
          ".)"};
}

// The desktop's settings are not consulted for pictures: they show the default look.
class DefaultDesktopSettings : public DesktopSettings {
 public:
  bool reduceMotion() const override { return false; }
  ColorScheme colorScheme() const override { return ColorScheme::light; }
};

// Without a display Qt would refuse to start; pictures need none.
void useOffscreenWithoutDisplay() {
  const auto unset = [](const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr || value[0] == '\0';
  };
  if (unset("DISPLAY") && unset("WAYLAND_DISPLAY") && unset("QT_QPA_PLATFORM"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

void layOut(QWidget& widget) {
  if (QLayout* layout = widget.layout()) layout->activate();
  for (QObject* child : widget.children())
    if (auto* childWidget = qobject_cast<QWidget*>(child); childWidget && !childWidget->isWindow())
      layOut(*childWidget);
}

std::optional<QByteArray> png(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG") || bytes.isEmpty())
    return std::nullopt;
  return bytes;
}

std::optional<PreviewError> writeFile(const std::filesystem::path& path, const QByteArray& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (file) file.write(bytes.constData(), bytes.size());
  if (file) file.close();
  if (!file) return PreviewError{"could not write " + path.string() + ": " + std::strerror(errno)};
  return std::nullopt;
}

class Renderer {
 public:
  explicit Renderer(std::filesystem::path directory)
      : directory_(std::move(directory)),
        monitor_(
            PowerMonitorServices{scheduler_, clock_, defaults_, PowerReader::read,
                                 [] { return sharedProcessPowerReader().read(); }, nullptr, nullptr, nullptr},
            false) {}

  std::optional<PreviewError> run() {
    monitor_.setPanelVisible(true);
    std::optional<QImage> details;
    for (int scene = 0; scene < 4; ++scene) {
      monitor_.selectDemo(scene);
      monitor_.setHistory(syntheticTrend());
      auto image = renderPanel(false);
      if (!image) return codedError("Render", 1);
      auto bytes = png(*image);
      if (!bytes) return codedError("Render", 2);
      if (auto error = writeFile(directory_ / ("preview-" + std::to_string(scene) + ".png"), *bytes))
        return error;
      // The details of the last scene are drawn at once: drawn after the GIFs on
      // a busy machine, the scene's readings could already count as stale.
      if (scene == 3) details = renderPanel(true);
    }
    for (auto [scene, name] : {std::pair{0, "flow-charging.gif"}, std::pair{1, "flow-discharging.gif"}})
      if (auto error = writeGif(scene, name)) return error;
    // A details image that cannot be made is left out.
    if (details)
      if (auto bytes = png(*details))
        if (auto error = writeFile(directory_ / "preview-details.png", *bytes)) return error;
    return std::nullopt;
  }

 private:
  // A minute of readings swinging ±3 W around the scene's whole-system power.
  std::vector<PowerSample> syntheticTrend() const {
    const double base = monitor_.snapshot().systemWatts.value_or(0);
    const Date now = clock_.now();
    std::vector<PowerSample> samples;
    for (int k = 0; k < 60; ++k)
      samples.push_back({now + std::chrono::seconds(k - 59), std::max(0.0, base + 3 * std::sin(0.3 * k))});
    return samples;
  }

  std::optional<QImage> renderPanel(bool details) {
    FlowPanel panel(monitor_, {defaults_, loginItem_, desktop_, clock_, "", nullptr}, true, details,
                    {[](Size) {}, [] {}, [] {}});
    return renderOffscreen(panel, 2.0);
  }

  std::optional<PreviewError> writeGif(int scene, const char* name) {
    GifDestination gif((directory_ / name).string(), kGifFrames);
    if (!gif.isOpen()) return codedError("GIF", 1);
    gif.setLoopCount(0);

    QWidget frame;
    QPalette palette = frame.palette();
    palette.setColor(QPalette::Window, toQColor(FlowStyle::background));
    palette.setColor(QPalette::WindowText, toQColor(FlowStyle::ink));
    frame.setPalette(palette);
    frame.setAutoFillBackground(true);
    auto* column = new QVBoxLayout(&frame);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(8);
    auto* caption = new QLabel(scene == 0 ? "充电动效演示 · 模拟数据" : "放电动效演示 · 模拟数据", &frame);
    caption->setFont(Fonts::system(11));
    caption->setStyleSheet(QStringLiteral("color: %1;").arg(toQColor(FlowStyle::muted).name()));
    column->addWidget(caption);
    auto* diagram = new FlowDiagram(clock_, &frame);
    diagram->setSnapshot(PowerSnapshot::demo(scene, clock_.now()));
    diagram->setPaused(true);
    diagram->setFixedSize(static_cast<int>(FlowScene::designSize.width),
                          static_cast<int>(FlowScene::designSize.height));
    column->addWidget(diagram);
    frame.resize(frame.sizeHint());

    for (int f = 0; f < kGifFrames; ++f) {
      diagram->setPreviewTime(f * kGifFrameSeconds);
      auto image = renderOffscreen(frame, 1.5);
      if (!image || !gif.addFrame(*image, kGifFrameSeconds)) return codedError("GIF", 2);
    }
    if (!gif.finalize()) return codedError("GIF", 3);
    return std::nullopt;
  }

  std::filesystem::path directory_;
  QtScheduler scheduler_;
  SystemClock clock_;
  QtUserDefaults defaults_;
  std::shared_ptr<LoginItemManaging> loginItem_ = std::make_shared<SystemLoginItem>();
  DefaultDesktopSettings desktop_;
  PowerMonitor monitor_;
};

}  // namespace

std::optional<QImage> renderOffscreen(QWidget& widget, double scale) {
  widget.ensurePolished();
  layOut(widget);
  const QSize pixels(static_cast<int>(std::ceil(widget.width() * scale)),
                     static_cast<int>(std::ceil(widget.height() * scale)));
  QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
  if (image.isNull()) return std::nullopt;
  image.setDevicePixelRatio(scale);
  // Views are drawn on the panel's white, not on the style's window grey.
  image.fill(toQColor(FlowStyle::background));
  widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
  return image;
}

int renderPreview(int& argc, char** argv, const std::string& directory) {
  useOffscreenWithoutDisplay();
  QApplication application(argc, argv);
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  std::optional<PreviewError> failure;
  if (error || !std::filesystem::is_directory(directory, error))
    failure = PreviewError{"could not create the directory " + directory + ": " +
                           (error ? error.message() : std::strerror(ENOTDIR))};
  else
    failure = Renderer(directory).run();
  if (failure) {
    std::cerr << "Preview failed: " << failure->description << std::endl;
    return 1;
  }
  std::cout << "Rendered 4 previews and 2 animated GIFs to " << directory << std::endl;
  return 0;
}

}  // namespace wattline
