// SPDX-License-Identifier: GPL-3.0-or-later

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>

#include "app/app_info.h"
#include "ui/style/fonts.h"

namespace wattline {

void AppInfo::showAbout() {
  static QPointer<QDialog> open;
  if (!open) {
    auto* dialog = new QDialog();
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle("关于瓦迹");
    auto* column = new QVBoxLayout(dialog);
    column->setContentsMargins(28, 24, 28, 18);
    column->setSpacing(8);
    const auto label = [&](const QString& text, double points, Fonts::Weight weight) {
      auto* line = new QLabel(text, dialog);
      line->setFont(Fonts::system(points, weight));
      line->setAlignment(Qt::AlignHCenter);
      column->addWidget(line);
    };
    label("瓦迹", 18, Fonts::Weight::semibold);
    label(QString::fromStdString("版本 " + version()), 11, Fonts::Weight::regular);
    label(QString::fromStdString(credits()), 11, Fonts::Weight::regular);
    // Qt's own Close button would read "Close" in an all-Chinese interface.
    auto* buttons = new QDialogButtonBox(dialog);
    buttons->addButton(QStringLiteral("关闭"), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
    column->addWidget(buttons);
    open = dialog;
  }
  open->show();
  open->raise();
  open->activateWindow();
}

}  // namespace wattline
