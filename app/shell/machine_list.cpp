#include "app/shell/machine_list.h"

namespace lumvik {

std::string machineEntry(std::string_view number, std::string_view name) {
    return std::string(number) + ",[" + std::string(name) + "]";
}

std::string machineNumber(std::string_view entry) {
    return std::string(entry.substr(0, entry.find(',')));
}

}  // namespace lumvik
