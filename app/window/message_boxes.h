#pragma once

// Every box the window shows goes through one service, so that tests answer them from a script.

#include <QString>

#include <memory>

class QMessageBox;
class QWidget;

namespace lumvik {

class MessageBoxes {
  public:
    enum class Kind { Warning, Information, Message, Error, Confirm };
    virtual ~MessageBoxes() = default;
    // Shows a modal box over `parent`; for Confirm, true means Yes.
    virtual bool show(QWidget* parent, Kind kind, const QString& text) = 0;
};

// The box of a kind as the window shows it, built but not shown: its icon, the program's name as its
// title, the text and its buttons (OK; Yes and No for Confirm).
std::unique_ptr<QMessageBox> makeMessageBox(QWidget* parent, MessageBoxes::Kind kind, const QString& text);

// The real boxes: QMessageBox, modal over the window.
class DialogMessageBoxes : public MessageBoxes {
  public:
    bool show(QWidget* parent, Kind kind, const QString& text) override;
};

}  // namespace lumvik
