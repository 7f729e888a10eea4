// Stands in for the sibling programs (collector, repair tool, uploader) in tests and the demo: it
// keeps its window class findable for a while and records how it was called.
//
//   sibling-standin [--class CLASSNAME] [--seconds N] [--record FILE] [args...]
//
// Copied under a sibling's name and started without --class, it behaves like that sibling and
// records to "siblings.log" beside itself.

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <thread>

#include "app/shell/platform.h"

namespace {

struct Sibling {
    const char* name;
    const char* windowClass;  // none: the sibling shows no window worth waiting for
    double seconds;
};

constexpr Sibling kSiblings[] = {
    {"Harvo.exe", "TFHarvo", 2.0},
    {"Quorrel.exe", "TFormDisQuorrel", 0.0},
    {"Wendry.exe", nullptr, 0.0},
};

int usage() {
    std::cerr << "usage: sibling-standin [--class CLASSNAME] [--seconds N] [--record FILE] [args...]\n";
    return 2;
}

std::optional<double> parseSeconds(const std::string& text) {
    try {
        std::size_t used = 0;
        const double seconds = std::stod(text, &used);
        if (used == text.size() && seconds >= 0) return seconds;
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string name =
        std::filesystem::path(argc > 0 ? argv[0] : "sibling-standin").filename().string();
    std::optional<std::string> windowClass;
    std::optional<double> seconds;
    std::optional<std::filesystem::path> record;

    // Options only lead; everything after them is the sibling's own arguments.
    int first = 1;
    for (; first < argc; ++first) {
        const std::string option = argv[first];
        if (option == "--") {
            ++first;
            break;
        }
        if (option != "--class" && option != "--seconds" && option != "--record") break;
        if (first + 1 >= argc) return usage();
        const std::string value = argv[++first];
        if (option == "--class") {
            windowClass = value;
        } else if (option == "--record") {
            record = value;
        } else if (!(seconds = parseSeconds(value))) {
            return usage();
        }
    }

    if (!windowClass) {
        for (const Sibling& sibling : kSiblings) {
            if (name != sibling.name) continue;
            if (sibling.windowClass != nullptr) windowClass = sibling.windowClass;
            if (!seconds) seconds = sibling.seconds;
            if (!record) record = lumvik::makeSystemPlatform()->programDirectory() / "siblings.log";
        }
    }

    std::string line = name;
    for (int i = first; i < argc; ++i)
        line += std::string(" ") + argv[i];

    try {
        // Registered before recording: whoever sees the line also sees the window, until it closes.
        std::optional<lumvik::WindowClassRegistration> registration;
        if (windowClass) registration.emplace(*windowClass);
        if (record) {
            std::ofstream out(*record, std::ios::app);
            out << line << '\n';
            out.close();
            if (!out) {
                std::cerr << name << ": cannot write " << record->string() << '\n';
                return 1;
            }
        }
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds.value_or(0.0)));
    } catch (const std::exception& error) {
        std::cerr << name << ": " << error.what() << '\n';
        return 1;
    }
    return 0;
}
