// The unattended side of the program, for scheduled runs: it starts up as the window does, with the
// settings file and the connection definitions beside the program, and reports to the terminal.
//
//   lumvik-auto

#include "app/form_core.h"
#include "app/platform.h"

#include <iostream>

using namespace lumvik;

int main(int argc, char**) {
    if (argc > 1) {
        std::cerr << "usage: lumvik-auto\n";
        return 2;
    }
    auto platform = makeSystemPlatform();
    HeadlessOperator op;
    op.onLog = [](const std::string& line) { std::cout << line << "\n" << std::flush; };
    FormCore form(*platform, op);
    try {
        form.FormCreate();
    } catch (const std::exception& e) {
        std::cerr << "lumvik-auto: " << e.what() << "\n";
        return 1;
    }
    static const char* const modes[] = {"未傳送", "日傳送", "補單"};
    const int mode = op.transferMode();
    std::cout << "Source Path: " << op.sourcePath() << "\n"
              << "傳輸方式: " << (mode >= 0 && mode <= 2 ? modes[mode] : "-") << "\n"
              << "Server Kind: "
              << (op.serverKind() == 0   ? "Windows"
                  : op.serverKind() == 1 ? "Linux"
                                         : "-")
              << "\n"
              << "暫用商品: " << op.tempProduct() << "\n"
              << "前台選擇 (" << op.machines().size() << "):\n";
    const auto machines = op.machines();
    for (std::size_t i = 0; i < machines.size(); ++i)
        std::cout << "  " << machines[i] << "  " << form.machineAddresses[i] << "\n";
    return 0;
}
