// The program: the one window, on the system's platform, until it closes.

#include "app/window/main_window.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName("餐飲收銀檔轉入");
    auto platform = lumvik::makeSystemPlatform();
    lumvik::DialogMessageBoxes boxes;
    lumvik::TFormLumvik form(*platform, boxes);
    form.show();
    return QApplication::exec();
}
