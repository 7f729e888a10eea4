#pragma once

// Two controls of the window that Qt has no exact match for: the date field with its drop-down
// calendar, and a captioned group of choices with an index.
//
// Threading: the window's thread only.

#include <QGroupBox>
#include <QWidget>

#include <chrono>
#include <vector>

class QButtonGroup;
class QCalendarWidget;
class QLineEdit;
class QRadioButton;
class QToolButton;

namespace lumvik {

// The date field: a masked text "yyyy/mm/dd" (blanks stand for missing digits) with a drop-down
// calendar whose weeks begin on Sunday. Its date value follows the text whenever the text is a date,
// and keeps the last valid date otherwise.
class DateField : public QWidget {
    Q_OBJECT
  public:
    explicit DateField(QWidget* parent);
    [[nodiscard]] QString text() const;
    void setText(const QString& text);
    [[nodiscard]] std::chrono::year_month_day date() const { return date_; }
    void setDate(std::chrono::year_month_day date);
    [[nodiscard]] QLineEdit* edit() const { return edit_; }
    [[nodiscard]] QCalendarWidget* calendar() const { return calendar_; }
    void showCalendar();

  private:
    void textEdited();
    QLineEdit* edit_;
    QToolButton* dropDown_;
    QCalendarWidget* calendar_;
    std::chrono::year_month_day date_{};
};

// A captioned group of choices laid out in columns; the index of the selected one, -1 for none.
class RadioGroup : public QGroupBox {
    Q_OBJECT
  public:
    RadioGroup(const QString& caption, const QStringList& items, int columns, QWidget* parent);
    [[nodiscard]] int itemIndex() const;
    // An index below -1 selects nothing; one beyond the last selects the last.
    void setItemIndex(int index);
    [[nodiscard]] QRadioButton* button(int index) const {
        return buttons_.at(static_cast<std::size_t>(index));
    }

  private:
    QButtonGroup* group_;
    std::vector<QRadioButton*> buttons_;
};

}  // namespace lumvik
