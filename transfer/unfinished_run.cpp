#include "transfer/unfinished_run.h"

#include "app/shell/date_forms.h"
#include "app/shell/machine_list.h"
#include "base/ini_file.h"
#include "base/text.h"

#include <algorithm>
#include <sstream>
#include <system_error>

namespace lumvik::transfer {

namespace {

constexpr const char* kSection = "Unfinished";

}  // namespace

UnfinishedRun unfinishedRunOf(const Operator& op) {
    UnfinishedRun run{dates::gregorianText(dates::requireDate(op.dateText())), {}, op.allDates()};
    const auto entries = op.machines();
    const auto ticks = op.machineTicks();
    for (std::size_t i = 0; i < entries.size() && i < ticks.size(); ++i)
        if (ticks[i]) run.machines.push_back(machineNumber(entries[i]));
    return run;
}

void writeUnfinishedRun(const std::filesystem::path& folder, const UnfinishedRun& run) {
    std::string machines;
    for (const auto& number : run.machines)
        machines += (machines.empty() ? "" : ",") + number;
    IniFile ini(folder / kUnfinishedRunFileName);
    ini.writeString(kSection, "Mode", "1");
    ini.writeString(kSection, "Date", run.date);
    ini.writeString(kSection, "Machines", machines);
    ini.writeString(kSection, "AllDates", run.allDates ? "True" : "False");
    ini.save();
}

std::optional<UnfinishedRun> readUnfinishedRun(const std::filesystem::path& folder) {
    const IniFile ini(folder / kUnfinishedRunFileName);
    if (!ini.existed() || ini.readString(kSection, "Mode") != "1") return std::nullopt;
    const auto date = dates::parseDate(ini.readString(kSection, "Date"));
    if (!date) return std::nullopt;
    UnfinishedRun run{dates::gregorianText(*date), {}, ini.readString(kSection, "AllDates") == "True"};
    std::istringstream machines(ini.readString(kSection, "Machines"));
    for (std::string number; std::getline(machines, number, ',');)
        if (!text::trimmed(number).empty()) run.machines.push_back(text::trimmed(number));
    return run;
}

void removeUnfinishedRun(const std::filesystem::path& folder) {
    std::error_code ignored;
    std::filesystem::remove(folder / kUnfinishedRunFileName, ignored);
}

RecordedChoices::RecordedChoices(Operator& shown, const UnfinishedRun& run)
    : shown_(shown), run_(run), dateValue_(dates::requireDate(run.date)) {}

std::vector<bool> RecordedChoices::machineTicks() const {
    std::vector<bool> ticks;
    for (const auto& entry : shown_.machines())
        ticks.push_back(std::ranges::find(run_.machines, machineNumber(entry)) != run_.machines.end());
    return ticks;
}

}  // namespace lumvik::transfer
