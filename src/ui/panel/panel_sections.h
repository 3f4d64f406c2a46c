// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QWidget>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "power/power_history.h"
#include "readers/process_power_snapshot.h"
#include "ui/panel/panel_texts.h"

namespace wattline {

// The painted rows of the panel's content. Each shows the plain values it was
// last given and sizes itself to them; the panel gives them new values when a
// reading arrives and once a second while it is visible.

// The title and the live indicator, 22 points high.
class HeaderRow : public QWidget {
 public:
  explicit HeaderRow(QWidget* parent = nullptr);
  void setIndicator(PanelTexts::LiveIndicator indicator);
  const PanelTexts::LiveIndicator& indicator() const { return indicator_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  PanelTexts::LiveIndicator indicator_;
};

// The status sentence with the battery symbol and charge.
class StatusRow : public QWidget {
 public:
  explicit StatusRow(QWidget* parent = nullptr);
  void setStatus(std::string status, StyleColor color, std::optional<std::string> symbol,
                 std::optional<std::string> percent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::string status_;
  StyleColor color_;
  std::optional<std::string> symbol_, percent_;
};

// CPU, GPU and backlight power in three cells.
class ComponentPowerRow : public QWidget {
 public:
  explicit ComponentPowerRow(QWidget* parent = nullptr);
  void setCells(std::array<PanelTexts::ComponentCell, 3> cells);
  const std::array<PanelTexts::ComponentCell, 3>& cells() const { return cells_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::array<PanelTexts::ComponentCell, 3> cells_;
};

// The whole-system trend of the last minute with its captions.
class PowerTrendView : public QWidget {
 public:
  struct Content {
    std::vector<PowerSample> samples;
    Date now;
    bool estimated = false;
    std::string adapterRating;
    bool cacheNotice = false;
  };
  explicit PowerTrendView(QWidget* parent = nullptr);
  void setContent(Content content);
  const Content& content() const { return content_; }
  // Where the chart's canvas lies in this widget.
  QRectF canvas() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Content content_;
};

// Wi-Fi, fans and the apps using the most power.
class ExtraDetailsView : public QWidget {
 public:
  using Content = PanelTexts::ExtraDetails;
  explicit ExtraDetailsView(QWidget* parent = nullptr);
  void setContent(Content content);
  const Content& content() const { return content_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;

 private:
  // Where each part goes at a width; the height, the painting and the hover help all read it.
  struct Layout {
    QRectF sensors, wifiLabel, divider, header, message;
    std::vector<QRectF> rows;
    double height = 0;
  };
  static Layout layout(double width, const Content& content);

  Content content_;
};

}  // namespace wattline
