#include "transfer/loc_ip.h"

#include "app/shell/date_forms.h"
#include "app/shell/machine_list.h"
#include "base/atomic_file.h"
#include "base/codepage.h"

namespace lumvik::transfer {

std::string locIpBytes(const std::vector<std::string>& entries, const std::vector<bool>& ticks,
                       const std::vector<std::string>& addresses, int mode, const std::string& chosenDate) {
    std::string bytes;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i >= ticks.size() || !ticks[i]) continue;
        // Ten bytes for the number: blanks fill a short one, a long one is cut (never inside a
        // double-byte character).
        bytes += cp950::fromUtf8(cp950::fitToBytes(machineNumber(entries[i]), 10));
        bytes += cp950::fromUtf8(i < addresses.size() ? addresses[i] : std::string());
        bytes += "\r\n";
    }
    if (mode == 0) bytes += "END\r\n";
    if (mode == 1) bytes += "END:" + dates::gregorianToRoc(chosenDate) + "\r\n";
    return bytes;
}

void writeLocIp(const std::filesystem::path& directory, const std::string& bytes) {
    writeFileAtomically(directory / kLocIpFileName, bytes);
}

}  // namespace lumvik::transfer
