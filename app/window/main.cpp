// The program: the one window, on the system's platform, until it closes.

#include "app/shell/stop_signals.h"
#include "app/window/main_window.h"

#include <QApplication>
#include <QMetaObject>

int main(int argc, char** argv) {
    // First, while this is the only thread and before the client library is loaded.
    lumvik::installStopSignals();
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName("餐飲收銀檔轉入");
    auto platform = lumvik::makeSystemPlatform();
    lumvik::DialogMessageBoxes boxes;
    lumvik::TFormLumvik form(*platform, boxes);
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
