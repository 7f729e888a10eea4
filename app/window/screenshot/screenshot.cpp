// Takes a picture of the real window on the files beside the program (the demo): it waits for the
// transfer state to be claimed, ticks every machine, presses OK, answers each box with OK and saves
// the window as a PNG.
//
//   QT_QPA_PLATFORM=offscreen lumvik-screenshot FILE.png [--no-run | --summary]
// With --summary it presses the daily-summary button instead of OK. $LUMVIK_FOLDER names another
// station folder than the program's own.

#include "app/shell/station_folder.h"
#include "app/window/main_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QToolButton>

#include <cstring>
#include <iostream>

namespace {

class AnsweringBoxes : public lumvik::MessageBoxes {
  public:
    bool show(QWidget*, Kind, const QString& text) override {
        std::cerr << "box: " << text.toStdString() << "\n";
        return true;
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::cerr << "usage: lumvik-screenshot FILE.png [--no-run]\n";
        return 2;
    }
    const bool run = !(argc > 2 && std::strcmp(argv[2], "--no-run") == 0);
    const bool summary = argc > 2 && std::strcmp(argv[2], "--summary") == 0;
    QApplication::setApplicationDisplayName("餐飲收銀檔轉入");
    const auto folder = lumvik::existingStationFolder(std::nullopt);
    auto platform = lumvik::makeSystemPlatform(folder.value_or(std::filesystem::path()));
    AnsweringBoxes boxes;
    lumvik::TFormLumvik form(*platform, boxes);
    if (folder) form.showStationFolder(*folder);
    form.show();
    QElapsedTimer waited;
    waited.start();
    while (!form.bsSkinButton1->isEnabled() && waited.elapsed() < 5000)
        QApplication::processEvents();
    form.bsSkinDateEdit1->setText("2012/12/10");  // the demo's business day
    for (int i = 0; i < form.bsSkinCheckListBox1->count(); ++i)
        form.bsSkinCheckListBox1->item(i)->setCheckState(Qt::Checked);
    if (summary)
        form.SpeedButton3->click();
    else if (run && form.bsSkinButton1->isEnabled())
        form.bsSkinButton1->click();
    QApplication::processEvents();
    if (!form.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::cerr << "cannot write " << argv[1] << "\n";
        return 1;
    }
    form.core().releaseTransferState();
    return 0;
}
