#include "app/window/message_boxes.h"

#include <QApplication>
#include <QMessageBox>

namespace lumvik {

bool DialogMessageBoxes::show(QWidget* parent, Kind kind, const QString& text) {
    const QString title = QApplication::applicationDisplayName();
    switch (kind) {
        case Kind::Warning:
            QMessageBox::warning(parent, title, text);
            return true;
        case Kind::Information:
            QMessageBox::information(parent, title, text);
            return true;
        case Kind::Message: {
            QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
            box.exec();
            return true;
        }
        case Kind::Error:
            QMessageBox::critical(parent, title, text);
            return true;
        case Kind::Confirm:
            return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No) ==
                   QMessageBox::Yes;
    }
    return false;
}

}  // namespace lumvik
