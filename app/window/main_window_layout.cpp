// The window's controls at their designed places, with the names of the window's design.

#include "app/window/main_window.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

namespace lumvik {

namespace {

template <class W>
W* place(W* widget, const char* name, int left, int top, int width = -1, int height = -1) {
    widget->setObjectName(name);
    if (width < 0) {
        widget->adjustSize();
        widget->move(left, top);
    } else {
        widget->setGeometry(left, top, width, height);
    }
    return widget;
}

}  // namespace

void TFormLumvik::buildControls() {
    buildTopStrip();
    buildPathFields();
    buildMiddleArea();
    buildBottomBar();
    connectHandlers();
}

void TFormLumvik::buildTopStrip() {
    mainArea = place(new QFrame(this), "mainArea", 0, 0, 470, 380);
    bottomBar = place(new QFrame(this), "bottomBar", 0, 380, 470, 41);
    bottomBar->setFrameShape(QFrame::StyledPanel);
    topStrip = place(new QFrame(mainArea), "topStrip", 1, 1, 468, 51);
    topStrip->setFrameShape(QFrame::StyledPanel);
    middleArea = place(new QFrame(mainArea), "middleArea", 1, 126, 468, 219);

    bsSkinStdLabel1 = place(new QLabel("日期", topStrip), "bsSkinStdLabel1", 16, 8);
    bsSkinDateEdit1 = place(new DateField(topStrip), "bsSkinDateEdit1", 51, 5, 121, 20);
    bsSkinDateEdit1->edit()->setGeometry(0, 0, 101, 20);
    bsSkinDateEdit1->findChild<QToolButton*>("dateDropDown")->setGeometry(101, 0, 20, 20);
    bsSkinRadioGroup1 = place(new RadioGroup("傳輸方式", {"未傳送", "日傳送", "補單"}, 3, topStrip),
                              "bsSkinRadioGroup1", 208, 4, 185, 41);
    bsSkinRadioGroup1->setItemIndex(0);
    bsSkinCheckRadioBox1 = place(new QCheckBox("ALLCheck", topStrip), "bsSkinCheckRadioBox1", 18, 27, 79, 21);
}

void TFormLumvik::buildPathFields() {
    bsSkinStdLabel2 = place(new QLabel("Source Path", mainArea), "bsSkinStdLabel2", 18, 60);
    bsSkinEdit1 = place(new QLineEdit(mainArea), "bsSkinEdit1", 91, 57, 328, 20);
    SpeedButton1 = place(new QToolButton(mainArea), "SpeedButton1", 420, 57, 23, 22);
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    SpeedButton1->hide();
    bsSkinStdLabel3 = place(new QLabel("Target Path", mainArea), "bsSkinStdLabel3", 18, 84);
    bsSkinStdLabel3->hide();
    bsSkinEdit2 = place(new QLineEdit(mainArea), "bsSkinEdit2", 91, 81, 328, 20);
    bsSkinEdit2->addAction(style()->standardIcon(QStyle::SP_FileDialogStart), QLineEdit::TrailingPosition)
        ->setObjectName("bsSkinEdit2Button");
    bsSkinEdit2->hide();
    SpeedButton2 = place(new QToolButton(mainArea), "SpeedButton2", 420, 80, 23, 22);
    SpeedButton2->setAutoRaise(true);
    SpeedButton2->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    SpeedButton2->hide();
    bsSkinStdLabel4 = place(new QLabel("暫用商品", mainArea), "bsSkinStdLabel4", 17, 105);
    Edit1 = place(new QLineEdit("00000000001", mainArea), "Edit1", 91, 101, 118, 21);
    bsSkinRadioGroup2 = place(new RadioGroup("Server Kind", {"Windows", "Linux"}, 2, mainArea),
                              "bsSkinRadioGroup2", 259, 78, 161, 41);
    bsSkinRadioGroup2->setItemIndex(0);
}

void TFormLumvik::buildMiddleArea() {
    machineGroup = place(new QGroupBox("前台選擇", middleArea), "machineGroup", 1, 1, 208, 217);
    bsSkinCheckListBox1 = place(new QListWidget(machineGroup), "bsSkinCheckListBox1", 1, 23, 204, 191);
    bsSkinCheckListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    bsSkinMemo1 = place(new QPlainTextEdit(middleArea), "bsSkinMemo1", 209, 1, 258, 217);
    bsSkinMemo1->setReadOnly(true);
    bsSkinMemo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    bsSkinMemo1->setMaximumBlockCount(0);  // never trimmed
    // The summary lines its columns up by code page 950 bytes: a fixed-pitch face whose Chinese
    // characters are two columns wide keeps them in line.
    QFont fixed("WenQuanYi Micro Hei Mono");
    fixed.setStyleHint(QFont::TypeWriter);
    fixed.setPointSize(9);
    bsSkinMemo1->setFont(fixed);

    ProgressBar2 = place(new QProgressBar(mainArea), "ProgressBar2", 1, 345, 468, 17);
    ProgressBar1 = place(new QProgressBar(mainArea), "ProgressBar1", 1, 362, 468, 17);
    for (QProgressBar* bar : {ProgressBar1, ProgressBar2}) {
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
    }
}

void TFormLumvik::buildBottomBar() {
    SpeedButton3 = place(new QToolButton(bottomBar), "SpeedButton3", 40, 8, 23, 22);
    SpeedButton_TMP = place(new QToolButton(bottomBar), "SpeedButton_TMP", 73, 6, 33, 19);
    SpeedButton_TMP->setText("TMP");
    SpeedButton_TMP->hide();
    bsSkinButton1 = place(new QPushButton("確定", bottomBar), "bsSkinButton1", 120, 8, 75, 25);
    bsSkinButton2 = place(new QPushButton("離開", bottomBar), "bsSkinButton2", 264, 8, 75, 25);
    // The OK button waits for the first reading of the transfer state, so that no run can start
    // while an automatic transfer holds it.
    bsSkinButton1->setEnabled(false);

    // The keyboard order: the bottom bar first, then the main area.
    const std::vector<QWidget*> order{
        bsSkinButton1,    bsSkinButton2, bsSkinDateEdit1->edit(), bsSkinRadioGroup1, bsSkinCheckRadioBox1,
        bsSkinEdit1,      bsSkinEdit2,   bsSkinCheckListBox1,     bsSkinMemo1,       Edit1,
        bsSkinRadioGroup2};
    for (std::size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void TFormLumvik::connectHandlers() {
    connect(bsSkinButton1, &QPushButton::clicked, this, [this] { bsSkinButton1Click(); });
    connect(bsSkinButton2, &QPushButton::clicked, this, [this] { bsSkinButton2Click(); });
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
    connect(SpeedButton2, &QToolButton::clicked, this, [this] { SpeedButton2Click(); });
    connect(SpeedButton3, &QToolButton::clicked, this, [this] { SpeedButton3Click(); });
    connect(SpeedButton_TMP, &QToolButton::clicked, this, [this] { SpeedButton_TMPClick(); });
    connect(bsSkinEdit2->findChild<QAction*>("bsSkinEdit2Button"), &QAction::triggered, this,
            [this] { bsSkinEdit2ButtonClick(); });
}

}  // namespace lumvik
