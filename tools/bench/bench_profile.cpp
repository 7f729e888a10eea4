#include "tools/bench/bench_profile.h"

#include "db/statement_observer.h"

#include <sys/resource.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <utility>
#include <vector>

namespace lumvik::bench {

std::string shape(const std::string& sql) {
    std::string out;
    bool inLiteral = false;
    for (const char c : sql) {
        if (inLiteral) {
            if (c == '\'') inLiteral = false;
            continue;
        }
        if (c == '\'') {
            inLiteral = true;
            out += '?';
        } else if ((c >= '0' && c <= '9') || (c == '.' && !out.empty() && out.back() == '?')) {
            const bool partOfName = !out.empty() && (std::isalnum(static_cast<unsigned char>(out.back())) ||
                                                     out.back() == '_' || out.back() == '$');
            if (partOfName)
                out += c;
            else if (out.empty() || out.back() != '?')
                out += '?';
        } else {
            out += c;
        }
    }
    return out;
}

void Profile::start() {
    watching_ = true;
    db::setStatementObserver([this](const std::string& sql, std::chrono::nanoseconds t, bool started) {
        // A statement's shape is worked out once: the observer sees every execution and every fetch.
        auto known = shapes_.find(sql);
        if (known == shapes_.end()) known = shapes_.emplace(sql, shape(sql)).first;
        auto& s = spent_[known->second];
        s.time += t;
        if (started) ++s.calls;
    });
}

void Profile::stop() {
    if (watching_) db::setStatementObserver(nullptr);
    watching_ = false;
}

void Profile::print(const std::string& label, std::size_t count) const {
    std::vector<std::pair<std::string, Spent>> top(spent_.begin(), spent_.end());
    std::sort(top.begin(), top.end(),
              [](const auto& a, const auto& b) { return a.second.time > b.second.time; });
    for (std::size_t i = 0; i < top.size() && i < count; ++i) {
        std::string sql = top[i].first.substr(0, 110);
        std::replace(sql.begin(), sql.end(), '\r', ' ');
        std::replace(sql.begin(), sql.end(), '\n', ' ');
        std::printf("%s: %8.2f s %7llu x  %s\n", label.c_str(),
                    std::chrono::duration<double>(top[i].second.time).count(),
                    static_cast<unsigned long long>(top[i].second.calls), sql.c_str());
    }
}

double peakResidentMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

}  // namespace lumvik::bench
