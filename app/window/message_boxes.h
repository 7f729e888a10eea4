#pragma once

// Every box the window shows goes through one service, so that tests answer them from a script.

#include <QString>

class QWidget;

namespace lumvik {

class MessageBoxes {
  public:
    enum class Kind { Warning, Information, Message, Error, Confirm };
    virtual ~MessageBoxes() = default;
    // Shows a modal box over `parent`; for Confirm, true means Yes.
    virtual bool show(QWidget* parent, Kind kind, const QString& text) = 0;
};

// The real boxes: QMessageBox, modal over the window.
class DialogMessageBoxes : public MessageBoxes {
  public:
    bool show(QWidget* parent, Kind kind, const QString& text) override;
};

}  // namespace lumvik
