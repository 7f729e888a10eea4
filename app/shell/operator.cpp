#include "app/shell/operator.h"

#include "app/shell/date_forms.h"
#include "app/shell/machine_list.h"

#include <algorithm>

namespace lumvik {

HeadlessOperator::HeadlessOperator() {
    // The date field shows today's date when the window opens.
    const auto today = std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now());
    setDate(std::chrono::year_month_day{today});
}

void HeadlessOperator::log(const std::string& line) {
    logLines.push_back(line);
    if (onLog) onLog(line);
}

void HeadlessOperator::setBillProgress(int position, int maximum) {
    billPosition = position;
    billMaximum = maximum;
    if (onBillProgress) onBillProgress();
}

void HeadlessOperator::stepBillProgress() {
    ++billPosition;
    if (onBillProgress) onBillProgress();
}

void HeadlessOperator::setLineProgress(int position, int maximum) {
    linePosition = position;
    lineMaximum = maximum;
}

void HeadlessOperator::show(Box box) {
    boxes.push_back(box);
    if (onBox) onBox(boxes.back());
}

bool HeadlessOperator::confirm(const std::string& text) {
    show({Box::Kind::Confirm, text});
    if (confirmAnswers.empty()) return defaultAnswer;
    const bool answer = confirmAnswers.front();
    confirmAnswers.pop_front();
    return answer;
}

void HeadlessOperator::setDateText(const std::string& text) {
    dateText_ = text;
    if (auto date = dates::parseDate(text)) dateValue_ = *date;
}

void HeadlessOperator::setDate(std::chrono::year_month_day date) {
    dateValue_ = date;
    dateText_ = dates::gregorianText(date);
}

void HeadlessOperator::setMachines(const std::vector<std::string>& entries) {
    machines_ = entries;
    ticks_.assign(entries.size(), false);
}

bool HeadlessOperator::tickMachines(const std::vector<std::string>& machineNumbers) {
    bool allFound = true;
    for (const auto& number : machineNumbers) {
        bool found = false;
        for (std::size_t i = 0; i < machines_.size(); ++i) {
            if (machineNumber(machines_[i]) == number) {
                ticks_[i] = true;
                found = true;
            }
        }
        allFound = allFound && found;
    }
    return allFound;
}

void HeadlessOperator::tickAllMachines() {
    std::fill(ticks_.begin(), ticks_.end(), true);
}

}  // namespace lumvik
