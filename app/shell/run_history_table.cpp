// The run history as lumvik-auto --history prints it.

#include "app/shell/run_history.h"

#include <numeric>

namespace lumvik {

namespace {

std::string sum(const std::array<std::uint64_t, 4>& counts) {
    return std::to_string(std::accumulate(counts.begin(), counts.end(), std::uint64_t{0}));
}

std::string joined(const std::vector<std::string>& items, const char* separator) {
    std::string out;
    for (const auto& item : items)
        out += (out.empty() ? "" : separator) + item;
    return out;
}

// A server's text runs over several lines; in the table it stays on its run's line.
std::string oneLine(std::string text) {
    std::string out;
    for (const char c : text)
        if (c != '\r') out += c == '\n' ? ' ' : c;
    return out;
}

std::vector<std::string> cells(const RunRecord& run) {
    const bool ended = !run.outcome.empty();
    // The end's time alone when the run ended on the day it started.
    std::string end = run.end;
    if (end.size() > 11 && end.compare(0, 11, run.start, 0, 11) == 0) end = end.substr(11);
    std::string outcome = ended ? run.outcome : "killed or running";
    if (run.exitStatus) outcome += " (exit " + std::to_string(*run.exitStatus) + ")";
    std::uint64_t sideRows = 0;
    for (const auto& [table, rows] : run.moved.sideRows)
        sideRows += rows;
    return {run.start,
            ended ? end : "-",
            run.program,
            run.date,
            std::to_string(run.mode),
            run.machines.empty() ? "-" : joined(run.machines, ","),
            outcome,
            ended ? sum(run.moved.bills) : "-",
            ended ? sum(run.moved.lines) : "-",
            ended ? std::to_string(sideRows) : "-",
            ended ? std::to_string(run.moved.billsRecollected) : "-",
            oneLine(joined(run.warnings, " | "))};
}

}  // namespace

std::string historyTable(const std::vector<RunRecord>& runs) {
    const std::vector<std::string> heading{"started", "ended",     "program",      "day",
                                           "mode",    "machines",  "outcome",      "bills",
                                           "lines",   "side rows", "re-collected", "warnings"};
    // Counts stand to the right of their column; the warnings, last, are not padded.
    const std::vector<bool> right{false, false, false, false, false, false,
                                  false, true,  true,  true,  true,  false};
    std::vector<std::vector<std::string>> rows{heading};
    for (const auto& run : runs)
        rows.push_back(cells(run));
    std::vector<std::size_t> widths(heading.size(), 0);
    for (const auto& row : rows)
        for (std::size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    std::string out;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            const bool last = i + 1 == row.size();
            const std::string pad(last ? 0 : widths[i] - row[i].size(), ' ');
            line += right[i] ? pad + row[i] : row[i] + pad;
            if (!last) line += "  ";
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        out += line + "\n";
    }
    return out;
}

}  // namespace lumvik
