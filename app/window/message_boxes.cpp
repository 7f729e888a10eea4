#include "app/window/message_boxes.h"

#include <QApplication>
#include <QMessageBox>

namespace lumvik {

std::unique_ptr<QMessageBox> makeMessageBox(QWidget* parent, MessageBoxes::Kind kind, const QString& text) {
    using Kind = MessageBoxes::Kind;
    const QMessageBox::Icon icon = kind == Kind::Warning       ? QMessageBox::Warning
                                   : kind == Kind::Information ? QMessageBox::Information
                                   : kind == Kind::Error       ? QMessageBox::Critical
                                   : kind == Kind::Confirm     ? QMessageBox::Question
                                                               : QMessageBox::NoIcon;
    const QMessageBox::StandardButtons buttons =
        kind == Kind::Confirm ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok;
    return std::make_unique<QMessageBox>(icon, QApplication::applicationDisplayName(), text, buttons, parent);
}

bool DialogMessageBoxes::show(QWidget* parent, Kind kind, const QString& text) {
    const auto box = makeMessageBox(parent, kind, text);
    const int answer = box->exec();
    return kind != Kind::Confirm || answer == QMessageBox::Yes;
}

}  // namespace lumvik
