// The program: the one window, on the system's platform, until it closes.
//
//   lumvik [--folder DIR]
// The window uses the files of the station folder given, else of the one $LUMVIK_FOLDER names, else
// those beside the program.

#include "app/shell/station_folder.h"
#include "app/shell/stop_signals.h"
#include "app/window/main_window.h"

#include <QApplication>
#include <QMetaObject>

#include <cstring>
#include <iostream>
#include <optional>

namespace {

// The value of --folder, the program's one option; false when the command line holds anything else.
bool readFolderOption(int argc, char** argv, std::optional<std::string>& folder) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--folder") != 0 || i + 1 >= argc || *argv[i + 1] == 0 || folder)
            return false;
        folder = argv[++i];
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // First, while this is the only thread and before the client library is loaded.
    lumvik::installStopSignals();
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName("餐飲收銀檔轉入");
    lumvik::DialogMessageBoxes boxes;
    std::optional<std::string> given;
    if (!readFolderOption(argc, argv, given)) {
        std::cerr << "usage: lumvik [--folder DIR]\n";
        return 4;
    }
    std::optional<std::filesystem::path> folder;
    try {
        folder = lumvik::existingStationFolder(given);
    } catch (const std::exception& e) {
        // Started from a menu there is no terminal to read the reason on.
        std::cerr << "error: " << e.what() << "\n";
        boxes.show(nullptr, lumvik::MessageBoxes::Kind::Error, QString::fromStdString(e.what()));
        return 4;
    }
    auto platform = lumvik::makeSystemPlatform(folder.value_or(std::filesystem::path()));
    // Installed in a system folder and started from the menu without a station, every tick of the
    // watch would fail anew: one box that says what to do, then the end.
    if (const auto problem = folder ? std::nullopt : lumvik::ownFolderProblem(platform->programDirectory())) {
        std::cerr << "error: " << *problem << "\n";
        boxes.show(nullptr, lumvik::MessageBoxes::Kind::Error, QString::fromStdString(*problem));
        return 4;
    }
    lumvik::TFormLumvik form(*platform, boxes);
    if (folder) form.showStationFolder(*folder);
    form.show();
    // The request comes on the signal thread; the window acts on its own thread.
    lumvik::db::stop::setRequestHandler([&form] {
        QMetaObject::invokeMethod(
            &form, [&form] { form.stopRequested(); }, Qt::QueuedConnection);
    });
    const int status = QApplication::exec();
    lumvik::db::stop::setRequestHandler({});
    return status;
}
