// The batch-replace dialog (see FmRepl.h). Laid out at fixed positions in its designed
// client area of 435 x 134 pixels.
#include "FmRepl.h"

#include "SjisQt.h"
#include "IniGT.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace xavo {
namespace {

constexpr int kClientWidth = 435;
constexpr int kClientHeight = 134;

template <class TWidget>
TWidget* Place(TWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(left, top, width, height);
    return widget;
}

}  // namespace

TFmRepl::TFmRepl(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("一括置換"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    QFont uiFont(SjisToQString(kDefaultFontFace));
    uiFont.setPixelSize(12);
    setFont(uiFont);
    setFixedSize(kClientWidth, kClientHeight);

    EdFind = Place(new QLineEdit(this), 120, 10, 210, 22);
    Label1 = Place(new QLabel(QStringLiteral("置換前の文字列 (&N)"), this), 10, 10, 106, 22);
    Label1->setBuddy(EdFind);
    EdRepl = Place(new QLineEdit(this), 120, 40, 210, 22);
    Label2 = Place(new QLabel(QStringLiteral("置換後の文字列 (&P)"), this), 10, 40, 106, 22);
    Label2->setBuddy(EdRepl);
    CbMatchCase = Place(new QCheckBox(QStringLiteral("大文字と小文字を区別する (&C)"), this), 10, 74, 200, 20);
    CbSubDir = Place(new QCheckBox(QStringLiteral("サブディレクトリも置換 (&S)"), this), 10, 100, 200, 20);
    CbWholeWord = Place(new QCheckBox(QStringLiteral("単語単位で検索 (&W)"), this), 220, 74, 140, 20);
    CbWholeWord->setEnabled(false);
    CheckBox2 = Place(new QCheckBox(QStringLiteral("正規表現 (&R)"), this), 220, 100, 140, 20);
    CheckBox2->setEnabled(false);
    Button1 = Place(new QPushButton(QStringLiteral("一括置換"), this), 345, 9, 80, 25);
    Button2 = Place(new QPushButton(QStringLiteral("キャンセル"), this), 345, 40, 80, 25);
    Button1->setDefault(true);
    Button2->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    FormCreate();
}

void TFmRepl::FormCreate() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->geometry();
    // Integer division truncating towards zero, also for a dialog wider than the screen.
    move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
}

void TFmRepl::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    EdFind->setFocus();
    EdFind->selectAll();
}

}  // namespace xavo
