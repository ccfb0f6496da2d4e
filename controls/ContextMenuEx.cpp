// The file context menu, see ContextMenuEx.h.
#include "ContextMenuEx.h"

#include "FileSystem.h"
#include "MessageBoxes.h"
#include "PathText.h"

#include <QClipboard>
#include <QDateTime>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QProcess>
#include <QUrl>
#include <QWidget>

#include <cstdlib>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace xavo {

namespace {

const QString kFailedCaption = QStringLiteral(" TContextMenuEx component version 1.04");
const QString kFailedText = QStringLiteral(" InvokeCommand failed! ");

bool OpenWithDesktop(const std::string& path) {
    return QDesktopServices::openUrl(PathToUrl(path));
}

QString PermissionText(mode_t mode) {
    const char* letters = "rwxrwxrwx";
    QString text;
    for (int bit = 0; bit < 9; ++bit) text += (mode & (0400 >> bit)) != 0 ? QLatin1Char(letters[bit]) : QLatin1Char('-');
    return text + QStringLiteral(" (%1)").arg(mode & 07777, 3, 8, QLatin1Char('0'));
}

void ShowProperties(QWidget* wnd, const std::string& path) {
    auto* dialog = new QDialog(wnd);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(PathToQString(FileNameOf(path)) + QStringLiteral(" のプロパティ"));
    auto* form = new QFormLayout(dialog);
    for (const auto& [caption, value] : TContextMenuEx::PropertiesOf(path)) {
        auto* label = new QLabel(value, dialog);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(caption, label);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    form->addRow(buttons);
    dialog->show();
}

}  // namespace

TContextMenuEx::TContextMenuEx(QObject* parent) : QObject(parent) {}

bool TContextMenuEx::ShowFileMenu(QWidget* wnd, const std::string& fileName, int x, int y) {
    if (wnd == nullptr) return false;
    const std::string path = WithoutTrailingSlash(fileName);
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return false;
    bool sendToListed = false;
    const std::unique_ptr<QMenu> menu(BuildMenu(wnd, sendToListed));
    const QAction* chosen = menu->exec(wnd->mapToGlobal(QPoint(x, y)));
    if (chosen == nullptr) return false;
    return InvokeCommand(wnd, chosen->data().toInt(), path, sendToListed);
}

QMenu* TContextMenuEx::BuildMenu(QWidget* parent, bool& sendToListed) const {
    auto* menu = new QMenu(parent);
    const auto add = [](QMenu* to, const QString& caption, int id) {
        QAction* action = to->addAction(caption);
        action->setData(id);
        return action;
    };
    menu->setDefaultAction(add(menu, QStringLiteral("開く(&O)"), cmOpen));
    add(menu, QStringLiteral("フォルダを開く(&F)"), cmOpenFolder);
    menu->addSeparator();
    QMenu* sendTo = menu->addMenu(QStringLiteral("送る(&N)"));
    const std::vector<TSendToEntry> entries = SendToEntries(SendToFolder());
    for (std::size_t n = 0; n < entries.size(); ++n)
        add(sendTo, entries[n].DisplayName, kSendToFirstId + static_cast<int>(n));
    sendTo->setEnabled(!entries.empty());
    sendToListed = !entries.empty() && static_cast<int>(entries.size()) < kSendToUsableBelow;
    menu->addSeparator();
    add(menu, QStringLiteral("パスをコピー(&C)"), cmCopyPath);
    menu->addSeparator();
    add(menu, QStringLiteral("プロパティ(&R)"), cmProperties);
    return menu;
}

bool TContextMenuEx::InvokeCommand(QWidget* wnd, int identifier, const std::string& fileName,
                                   bool sendToListed) const {
    const std::string path = WithoutTrailingSlash(fileName);
    bool ok = false;
    const int sendToIndex = identifier - kSendToFirstId;
    if (sendToListed && sendToIndex >= 0 && sendToIndex < kMaxSendToEntries) {
        const std::vector<TSendToEntry> entries = SendToEntries(SendToFolder());
        ok = static_cast<std::size_t>(sendToIndex) < entries.size() &&
             SendTo(entries[static_cast<std::size_t>(sendToIndex)], path);
    } else {
        switch (identifier) {
        case cmOpen: ok = OpenWithDesktop(path); break;
        case cmOpenFolder: ok = OpenWithDesktop(ParentDirectoryOf(path)); break;
        case cmCopyPath:
            QGuiApplication::clipboard()->setText(PathToQString(path));
            ok = true;
            break;
        case cmProperties:
            ShowProperties(wnd, path);
            ok = true;
            break;
        default: ok = false; break;  // also a Send To choice from a list too long to use
        }
    }
    if (!ok) ShowInformationBox(kFailedCaption, kFailedText);
    return ok;
}

std::string TContextMenuEx::SendToFolder() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    std::string base;
    if (dataHome != nullptr && dataHome[0] == '/') {
        base = dataHome;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home != nullptr ? home : "") + "/.local/share";
    }
    return WithTrailingSlash(base) + "xavoline/SendTo/";
}

std::vector<TSendToEntry> TContextMenuEx::SendToEntries(const std::string& folder) {
    std::vector<std::string> paths;
    ListFiles(folder, TFileMask("*"), paths);
    ForEachSubdirectory(folder, [&](const TSubdirectory& sub) {
        paths.push_back(WithTrailingSlash(folder) + std::string(sub.Name));
        return true;
    });
    SortPathsIgnoringCase(paths);
    std::vector<TSendToEntry> entries;
    for (const std::string& p : paths) {
        const std::string_view name = FileNameOf(p);
        if (name.empty() || name[0] == '.') continue;
        if (static_cast<int>(entries.size()) == kMaxSendToEntries) break;
        TSendToEntry::TKind kind = TSendToEntry::Other;
        if (IsDirectory(p)) kind = TSendToEntry::Directory;
        else if (::access(p.c_str(), X_OK) == 0) kind = TSendToEntry::Program;
        entries.push_back({p, PathToQString(name), kind});
    }
    return entries;
}

bool TContextMenuEx::SendTo(const TSendToEntry& entry, const std::string& fileName) {
    const std::string path = WithoutTrailingSlash(fileName);
    switch (entry.Kind) {
    case TSendToEntry::Directory:
        return CopyTreeNoReplace(path, WithTrailingSlash(entry.Path) + std::string(FileNameOf(path))) == 0;
    case TSendToEntry::Program:
        return QProcess::startDetached(PathToQString(entry.Path), {PathToQString(path)});
    case TSendToEntry::Other: break;
    }
    return false;
}

std::vector<std::pair<QString, QString>> TContextMenuEx::PropertiesOf(const std::string& fileName) {
    const std::string path = WithoutTrailingSlash(fileName);
    std::vector<std::pair<QString, QString>> rows;
    rows.emplace_back(QStringLiteral("名前:"), PathToQString(FileNameOf(path)));
    rows.emplace_back(QStringLiteral("場所:"), PathToQString(ParentDirectoryOf(path)));
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return rows;
    const QLocale locale;
    rows.emplace_back(QStringLiteral("種類:"), S_ISDIR(st.st_mode)   ? QStringLiteral("フォルダ")
                                               : S_ISREG(st.st_mode) ? QStringLiteral("ファイル")
                                                                     : QStringLiteral("特殊ファイル"));
    if (S_ISREG(st.st_mode))
        rows.emplace_back(QStringLiteral("サイズ:"), locale.toString(static_cast<qlonglong>(st.st_size)) + QStringLiteral(" バイト"));
    const QDateTime modified = QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec);
    rows.emplace_back(QStringLiteral("更新日時:"), modified.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
    rows.emplace_back(QStringLiteral("アクセス権:"), PermissionText(st.st_mode));
    return rows;
}

}  // namespace xavo
