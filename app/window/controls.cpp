#include "app/window/controls.h"

#include "app/shell/date_forms.h"
#include "app/window/qt_text.h"

#include <QButtonGroup>
#include <QCalendarWidget>
#include <QDate>
#include <QGridLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>

namespace lumvik {

namespace {

QDate toQDate(std::chrono::year_month_day d) {
    return QDate(static_cast<int>(d.year()), static_cast<int>(static_cast<unsigned>(d.month())),
                 static_cast<int>(static_cast<unsigned>(d.day())));
}

std::chrono::year_month_day fromQDate(QDate d) {
    return std::chrono::year{d.year()} / static_cast<unsigned>(d.month()) / static_cast<unsigned>(d.day());
}

}  // namespace

DateField::DateField(QWidget* parent) : QWidget(parent) {
    edit_ = new QLineEdit(this);
    edit_->setObjectName("dateText");
    // Four digits, "/", two, "/", two; a blank stands for a digit not typed.
    edit_->setInputMask("0000/99/99; ");
    edit_->setMaxLength(10);
    dropDown_ = new QToolButton(this);
    dropDown_->setObjectName("dateDropDown");
    dropDown_->setArrowType(Qt::DownArrow);
    calendar_ = new QCalendarWidget(this);
    calendar_->setObjectName("dateCalendar");
    calendar_->setWindowFlags(Qt::Popup);
    calendar_->setFirstDayOfWeek(Qt::Sunday);
    calendar_->resize(300, 150);
    calendar_->hide();
    connect(edit_, &QLineEdit::textChanged, this, [this] { textEdited(); });
    connect(dropDown_, &QToolButton::clicked, this, [this] { showCalendar(); });
    connect(calendar_, &QCalendarWidget::clicked, this, [this](QDate d) {
        setDate(fromQDate(d));
        calendar_->hide();
    });
}

QString DateField::text() const {
    return edit_->displayText();
}

void DateField::setText(const QString& text) {
    edit_->setText(text);
}

void DateField::setDate(std::chrono::year_month_day date) {
    date_ = date;
    edit_->setText(q(dates::gregorianText(date)));
}

void DateField::textEdited() {
    if (auto date = dates::parseDate(s(text()))) date_ = *date;
}

void DateField::showCalendar() {
    calendar_->setSelectedDate(toQDate(date_));
    calendar_->move(mapToGlobal(QPoint(0, height())));
    calendar_->show();
}

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, int columns, QWidget* parent)
    : QGroupBox(caption, parent), group_(new QButtonGroup(this)) {
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(4, 0, 4, 2);
    layout->setSpacing(2);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        group_->addButton(button, i);
        layout->addWidget(button, i / columns, i % columns);
        buttons_.push_back(button);
    }
}

int RadioGroup::itemIndex() const {
    return group_->checkedId();
}

void RadioGroup::setItemIndex(int index) {
    const int last = static_cast<int>(buttons_.size()) - 1;
    if (index > last) index = last;
    if (index < 0) {
        // An exclusive group cannot be emptied by unchecking; it is released for that moment.
        group_->setExclusive(false);
        for (auto* b : buttons_)
            b->setChecked(false);
        group_->setExclusive(true);
        return;
    }
    buttons_[static_cast<std::size_t>(index)]->setChecked(true);
}

}  // namespace lumvik
