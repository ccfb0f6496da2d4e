// The fixed-pitch font dialog (see FontPicker.h).
#include "FontPicker.h"

#include "JapaneseUi.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace xavo {

TFontPicker::TFontPicker(const QFont& initial, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("フォント"));
    Families = new QListWidget;
    Styles = new QListWidget;
    Sizes = new QComboBox;
    Sizes->setEditable(true);
    Sizes->lineEdit()->setValidator(new QIntValidator(1, 500, Sizes));
    StrikeOut = new QCheckBox(QStringLiteral("取り消し線(&K)"));
    Underline = new QCheckBox(QStringLiteral("下線(&U)"));
    Sample = new QLabel(QStringLiteral("AaBbYyZz 0123 あア亜 ｱｲｳ"));
    Sample->setMinimumHeight(48);
    Sample->setAlignment(Qt::AlignCenter);

    auto* grid = new QGridLayout;
    const auto addColumn = [&](int column, const QString& caption, QWidget* field) {
        auto* label = new QLabel(caption);
        label->setBuddy(field);
        grid->addWidget(label, 0, column);
        grid->addWidget(field, 1, column);
    };
    addColumn(0, QStringLiteral("フォント名(&F):"), Families);
    addColumn(1, QStringLiteral("スタイル(&Y):"), Styles);
    addColumn(2, QStringLiteral("サイズ(&S):"), Sizes);
    grid->setAlignment(Sizes, Qt::AlignTop);
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(1, 2);
    grid->setColumnStretch(2, 1);
    auto* effects = new QGroupBox(QStringLiteral("文字飾り"));
    auto* effectsLayout = new QVBoxLayout(effects);
    effectsLayout->addWidget(StrikeOut);
    effectsLayout->addWidget(Underline);
    auto* sampleBox = new QGroupBox(QStringLiteral("サンプル"));
    (new QVBoxLayout(sampleBox))->addWidget(Sample);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(effects);
    bottom->addWidget(sampleBox, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addLayout(bottom);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // The face the stored name really draws with (a designed name resolves through the
    // substitutes); it stays offered even when it is proportional.
    const QString current = QFontInfo(initial).family();
    QStringList families = FixedPitchFamilies();
    if (!current.isEmpty() && !families.contains(current, Qt::CaseInsensitive)) families.prepend(current);
    Families->addItems(families);
    const QList<QListWidgetItem*> found = Families->findItems(current, Qt::MatchFixedString);
    Families->setCurrentItem(found.isEmpty() ? Families->item(0) : found.front());
    FillStyles(initial);

    for (const int size : QFontDatabase::standardSizes()) Sizes->addItem(QString::number(size));
    const int points = initial.pointSize() > 0 ? initial.pointSize() : 9;
    Sizes->setCurrentText(QString::number(points));
    StrikeOut->setChecked(initial.strikeOut());
    Underline->setChecked(initial.underline());

    connect(Families, &QListWidget::currentTextChanged, this, [this] {
        FillStyles(SelectedFont());
        UpdateSample();
    });
    connect(Styles, &QListWidget::currentTextChanged, this, &TFontPicker::UpdateSample);
    connect(Sizes, &QComboBox::currentTextChanged, this, &TFontPicker::UpdateSample);
    connect(StrikeOut, &QCheckBox::toggled, this, &TFontPicker::UpdateSample);
    connect(Underline, &QCheckBox::toggled, this, &TFontPicker::UpdateSample);
    UpdateSample();
}

void TFontPicker::FillStyles(const QFont& wanted) {
    const QString family = Families->currentItem() != nullptr ? Families->currentItem()->text() : QString();
    const QSignalBlocker quiet(Styles);
    Styles->clear();
    const QStringList styles = QFontDatabase::styles(family);
    Styles->addItems(styles);
    // The style of the same weight and slant; an upright one rather than a slanted one.
    int best = -1;
    int bestScore = -1;
    for (int i = 0; i < styles.size(); ++i) {
        const bool bold = QFontDatabase::bold(family, styles[i]);
        const bool italic = QFontDatabase::italic(family, styles[i]);
        const int score = (bold == wanted.bold() ? 2 : 0) + (italic == wanted.italic() ? 4 : 0) +
                          (styles[i].contains(QStringLiteral("Oblique"), Qt::CaseInsensitive) ? 0 : 1);
        if (score > bestScore) {
            best = i;
            bestScore = score;
        }
    }
    if (best >= 0) Styles->setCurrentRow(best);
}

QFont TFontPicker::SelectedFont() const {
    const QString family = Families->currentItem() != nullptr ? Families->currentItem()->text() : QString();
    const QString style = Styles->currentItem() != nullptr ? Styles->currentItem()->text() : QString();
    const int size = std::max(Sizes->currentText().toInt(), 1);
    QFont font = style.isEmpty() ? QFont(family, size) : QFontDatabase::font(family, style, size);
    font.setFamily(family);
    font.setPointSize(size);
    font.setStrikeOut(StrikeOut->isChecked());
    font.setUnderline(Underline->isChecked());
    return font;
}

void TFontPicker::UpdateSample() { Sample->setFont(SelectedFont()); }

}  // namespace xavo
