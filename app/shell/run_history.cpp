#include "app/shell/run_history.h"

#include "app/shell/date_forms.h"
#include "app/shell/machine_list.h"
#include "base/atomic_file.h"
#include "base/json.h"
#include "db/tables.h"

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

#ifndef LUMVIK_VERSION
#define LUMVIK_VERSION "unknown"
#endif

namespace lumvik {

const char* lumvikVersion() {
    return LUMVIK_VERSION;
}

RunHistory RunHistory::ofStation(const Platform& platform) {
    return RunHistory(platform.programDirectory() / kRunHistoryFileName);
}

namespace {

json::Value texts(const std::vector<std::string>& items) {
    json::Value out = json::Value::array();
    for (const auto& item : items)
        out.push(item);
    return out;
}

std::vector<std::string> textsOf(const json::Value& array) {
    std::vector<std::string> out;
    for (const auto& item : array.items())
        out.push_back(item.text());
    return out;
}

// The fields both lines of a run carry.
json::Value startFields(const RunRecord& run, const char* event) {
    json::Value line = json::Value::object();
    line.set("run", run.id);
    line.set("event", event);
    line.set("program", run.program);
    line.set("version", run.version);
    line.set("start", run.start);
    line.set("date", run.date);
    line.set("mode", run.mode);
    line.set("machines", texts(run.machines));
    return line;
}

json::Value familyCounts(const MovedCounts& moved) {
    json::Value families = json::Value::array();
    for (const db::Family& family : db::kFamilies) {
        json::Value one = json::Value::object();
        one.set("family", family.storeMaster);
        one.set("bills", moved.bills[static_cast<std::size_t>(family.index)]);
        one.set("lines", moved.lines[static_cast<std::size_t>(family.index)]);
        families.push(std::move(one));
    }
    return families;
}

void readEnd(const json::Value& line, RunRecord& run) {
    run.end = line["end"].text();
    run.outcome = line["outcome"].text();
    if (!line["exit"].isNull()) run.exitStatus = static_cast<int>(line["exit"].whole());
    const auto& families = line["families"].items();
    for (std::size_t i = 0; i < families.size() && i < run.moved.bills.size(); ++i) {
        run.moved.bills[i] = static_cast<std::uint64_t>(families[i]["bills"].whole());
        run.moved.lines[i] = static_cast<std::uint64_t>(families[i]["lines"].whole());
    }
    for (const auto& [table, rows] : line["sideRows"].members())
        run.moved.sideRows[table] = static_cast<std::uint64_t>(rows.whole());
    run.moved.billsRecollected = static_cast<std::uint64_t>(line["billsRecollected"].whole());
    run.warnings = textsOf(line["warnings"]);
}

// A line of its own even after a line that a power cut left without its end.
void appendLine(const std::filesystem::path& file, const std::string& line) {
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    bool glued = false;
    if (in && in.tellg() > 0) {
        in.seekg(-1, std::ios::end);
        glued = in.get() != '\n';
    }
    appendToFile(file, (glued ? "\n" : "") + line + "\n");
}

}  // namespace

void RunHistory::appendStart(const RunRecord& run) const {
    appendLine(file_, startFields(run, "start").dump());
}

void RunHistory::appendEnd(const RunRecord& run) const {
    json::Value line = startFields(run, "end");
    line.set("end", run.end);
    line.set("outcome", run.outcome);
    if (run.exitStatus) line.set("exit", *run.exitStatus);
    line.set("families", familyCounts(run.moved));
    json::Value sideRows = json::Value::object();
    for (const auto& [table, rows] : run.moved.sideRows)
        sideRows.set(table, rows);
    line.set("sideRows", std::move(sideRows));
    line.set("billsRecollected", run.moved.billsRecollected);
    line.set("warnings", texts(run.warnings));
    appendLine(file_, line.dump());
}

std::vector<RunRecord> RunHistory::lastRuns(std::size_t count) const {
    std::ifstream in(file_, std::ios::binary);
    std::vector<RunRecord> runs;
    std::map<std::string, std::size_t> byId;
    for (std::string text; std::getline(in, text);) {
        const auto line = json::parse(text);
        if (!line || line->kind() != json::Value::Kind::Object || line->operator[]("run").text().empty())
            continue;
        const std::string id = (*line)["run"].text();
        auto [at, isNew] = byId.emplace(id, runs.size());
        if (isNew) {
            // An end line whose start line was lost stands for the whole run.
            RunRecord run;
            run.id = id;
            run.program = (*line)["program"].text();
            run.version = (*line)["version"].text();
            run.start = (*line)["start"].text();
            run.date = (*line)["date"].text();
            run.mode = static_cast<int>((*line)["mode"].whole());
            run.machines = textsOf((*line)["machines"]);
            runs.push_back(std::move(run));
        }
        if ((*line)["event"].text() == "end") readEnd(*line, runs[at->second]);
    }
    if (runs.size() > count) runs.erase(runs.begin(), runs.end() - static_cast<long>(count));
    return runs;
}

namespace {

std::string localTimeText(const LocalTime& t) {
    return dates::gregorianText(t.date) + " " + dates::timeText(t.time);
}

std::string newRunId(const LocalTime& t) {
    std::random_device random;
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%06x", static_cast<unsigned>(random() & 0xFFFFFF));
    std::string id = localTimeText(t);
    for (char& c : id)
        if (c == '/' || c == ':') c = '-';
    id[10] = 'T';
    return id + "-" + suffix;
}

}  // namespace

RunRecorder::RunRecorder(RunHistory history, const Platform& platform, const Operator& op,
                         std::string program, std::function<void(const std::string&)> onError)
    : history_(std::move(history)), platform_(platform), onError_(std::move(onError)) {
    const LocalTime now = platform_.now();
    record_.id = newRunId(now);
    record_.program = std::move(program);
    record_.version = lumvikVersion();
    record_.start = localTimeText(now);
    record_.date = dates::gregorianText(op.dateValue());
    record_.mode = op.transferMode();
    const auto entries = op.machines();
    const auto ticks = op.machineTicks();
    for (std::size_t i = 0; i < entries.size() && i < ticks.size(); ++i)
        if (ticks[i]) record_.machines.push_back(machineNumber(entries[i]));
    try {
        history_.appendStart(record_);
    } catch (const std::exception& e) {
        if (onError_) onError_(e.what());
    }
}

void RunRecorder::finish(const std::string& outcome, std::optional<int> exitStatus,
                         const MovedCounts& moved) {
    record_.end = localTimeText(platform_.now());
    record_.outcome = outcome;
    record_.exitStatus = exitStatus;
    record_.moved = moved;
    try {
        history_.appendEnd(record_);
    } catch (const std::exception& e) {
        if (onError_) onError_(e.what());
    }
}

}  // namespace lumvik
