// TForm1's encodings: the File menu's "文字コード", which reads the shown file again either
// detected or in the encoding chosen, and the status panel naming the shown text's encoding.
//
// A choice belongs to the file it was made for: it holds while that file is read again
// (the plain-text switch, a batch replace showing it) and is dropped when another file is
// shown, which is then detected.
#include "MainWindow.h"

#include "CommandGuard.h"
#include "XavoMemo.h"

#include <QAction>
#include <QActionGroup>
#include <QLabel>
#include <QMenu>

#include <utility>

namespace xavo {

void TForm1::CreateEncodingMenu() {
    MmFile->addSeparator();
    MmEncoding = MmFile->addMenu(QStringLiteral("文字コード"));
    auto* group = new QActionGroup(MmEncoding);
    const auto add = [&](const QString& caption, int value, const QString& hint) {
        QAction* item = AddItem(MmEncoding, caption, {}, hint, true);
        item->setData(value);
        group->addAction(item);
        return item;
    };
    const auto readAs = [](const char* name) {
        return QStringLiteral("現在開いているファイルを %1 として読み直します。").arg(QLatin1String(name));
    };
    MmEncAuto = add(QStringLiteral("自動判定"), -1, QStringLiteral("現在開いているファイルの文字コードを自動判定して読み直します。"));
    MmEncoding->addSeparator();
    MmEncSjis = add(QStringLiteral("Shift-JIS"), static_cast<int>(TEncoding::Sjis), readAs("Shift-JIS"));
    MmEncEucJp = add(QStringLiteral("EUC-JP"), static_cast<int>(TEncoding::EucJp), readAs("EUC-JP"));
    MmEncJis = add(QStringLiteral("JIS"), static_cast<int>(TEncoding::Jis), readAs("JIS (ISO-2022-JP)"));
    MmEncUtf8 = add(QStringLiteral("UTF-8"), static_cast<int>(TEncoding::Utf8), readAs("UTF-8"));
    // The byte order comes from the file's mark (little-endian without one).
    MmEncUtf16 = add(QStringLiteral("UTF-16"), static_cast<int>(TEncoding::Utf16Le), readAs("UTF-16"));
    MmEncAuto->setChecked(true);
    connect(group, &QActionGroup::triggered, this,
            [this](QAction* item) { RunCommand([this, item] { MmEncodingClick(item); }); });
}

void TForm1::MmEncodingClick(const QAction* item) {
    const int value = item->data().toInt();
    const std::optional<TEncoding> choice = value < 0 ? std::nullopt : std::optional(static_cast<TEncoding>(value));
    // Nothing to read again, or the user kept the edits: the menu shows what holds.
    if (FCurrentFile.empty() || !ConfirmUnsavedEdits()) {
        ShowEncoding();
        return;
    }
    const std::string path = FCurrentFile;
    auto previous = std::pair(FEncodingChoice, FEncodingChoiceFile);
    FEncodingChoice = choice;
    FEncodingChoiceFile = path;
    FCurrentFile.clear();  // so that LoadFile reads the same file again
    bool loaded = false;
    try {
        loaded = LoadFile(path, false);
    } catch (...) {
        FCurrentFile = path;  // still shown as it was
        std::tie(FEncodingChoice, FEncodingChoiceFile) = std::move(previous);
        ShowEncoding();
        throw;
    }
    if (!loaded) {  // gone meanwhile: the old text stays shown
        FCurrentFile = path;
        std::tie(FEncodingChoice, FEncodingChoiceFile) = std::move(previous);
        ShowEncoding();
    }
}

void TForm1::ShowEncoding() {
    SBEncoding->setText(FCurrentFile.empty() ? QString() : QString::fromStdString(EncodingName(Memo->Encoding())));
    const int value = FEncodingChoice && FEncodingChoiceFile == FCurrentFile ? static_cast<int>(*FEncodingChoice) : -1;
    for (QAction* item : MmEncoding->actions())
        if (item->isCheckable() && item->data().toInt() == value) item->setChecked(true);
}

}  // namespace xavo
