// The folder picker driven through its real dialog: preselection (the root "/" kept),
// the chosen folder on OK, nothing changed on Cancel, the two reports, the root limit.
#include "BrowseDialog.h"
#include "TempDir.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QtTest>

#include <functional>
#include <memory>
#include <string>

using xavo::TBrowseDialog;
using xavo::test::TTempDir;

namespace {

// Runs Act on the folder dialog once it is open (Execute is modal).
void WhenDialogOpens(std::function<void(QFileDialog*)> act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        act(dialog);
    });
    timer->start(10);
}

// Types Path into the dialog's name field, as a user would; typing there replaces what
// was selected in the list. (selectFile on an open dialog depends on whether the directory
// model has finished loading, and the dialog drops the old selection only while the field
// has the focus, which an offscreen test cannot count on.)
void Type(QFileDialog* dialog, const std::string& path) {
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
    QVERIFY(edit != nullptr && list != nullptr);
    list->clearSelection();
    edit->setText(QString::fromStdString(path));
}

// QFileDialog hides accept(); the dialog's public slot dispatches to it all the same.
void Accept(QFileDialog* dialog) { static_cast<QDialog*>(dialog)->accept(); }

}  // namespace

class TBrowseDialogTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        tmp = std::make_unique<TTempDir>();
        tmp->Dir("out");
        tmp->Dir("other");
    }
    void cleanup() { tmp.reset(); }

    void firstUseChoosesAndSecondUsePreselects() {
        TBrowseDialog browse;
        browse.SetCaption(QStringLiteral("置換結果の出力先を指定してください"));
        QString title;
        WhenDialogOpens([&](QFileDialog* dialog) {
            title = dialog->windowTitle();
            Type(dialog, tmp->Path("out"));
            Accept(dialog);
        });
        QVERIFY(browse.Execute());
        QCOMPARE(title, QStringLiteral("置換結果の出力先を指定してください"));
        QCOMPARE(browse.Directory(), tmp->Path("out"));
        QCOMPARE(browse.DisplayName(), QStringLiteral("out"));

        QStringList preselected;
        WhenDialogOpens([&](QFileDialog* dialog) {
            preselected = dialog->selectedFiles();
            Accept(dialog);
        });
        QVERIFY(browse.Execute());
        QCOMPARE(preselected, QStringList{QString::fromStdString(tmp->Path("out"))});
        QCOMPARE(browse.Directory(), tmp->Path("out"));
    }

    void cancelLeavesEverythingAsItWas() {
        TBrowseDialog browse;
        browse.SetDirectory(tmp->Path("out"));
        WhenDialogOpens([](QFileDialog* dialog) { dialog->reject(); });
        QVERIFY(!browse.Execute());
        QCOMPARE(browse.Directory(), tmp->Path("out"));
        QVERIFY(browse.DisplayName().isEmpty());
    }

    void theRootDirectoryIsPassedAsIs() {
        TBrowseDialog browse;
        browse.SetDirectory("/");
        std::string initialized = "<none>";
        browse.SetOnInitialized([&](TBrowseDialog*, QWidget*, const std::string& path, QString&,
                                    TBrowseDialog::TOKButtonState&) { initialized = path; });
        WhenDialogOpens([](QFileDialog* dialog) {
            QTimer::singleShot(50, dialog, [dialog] { Accept(dialog); });
        });
        QVERIFY(browse.Execute());
        QCOMPARE(initialized, std::string("/"));
        QCOMPARE(browse.Directory(), std::string("/"));
        QCOMPARE(browse.DisplayName(), QStringLiteral("/"));
    }

    void reportsSetTheStatusLineAndTheOkButton() {
        TBrowseDialog browse;
        browse.SetDirectory(tmp->Path("out/"));
        browse.SetOptions(TBrowseDialog::biReturnOnlyFSDirs | TBrowseDialog::biStatusText);
        QWidget* reportedWindow = nullptr;
        std::string initialized;
        browse.SetOnInitialized([&](TBrowseDialog* sender, QWidget* wnd, const std::string& path, QString& text,
                                    TBrowseDialog::TOKButtonState& ok) {
            QCOMPARE(sender, &browse);
            reportedWindow = wnd;
            initialized = path;
            text = QStringLiteral("出力先: ") + QString::fromStdString(path);
            ok = TBrowseDialog::okDisable;
        });
        QString status;
        bool okEnabled = true;
        WhenDialogOpens([&](QFileDialog* dialog) {
            QTimer::singleShot(50, dialog, [&, dialog] {
                for (QLabel* label : dialog->findChildren<QLabel*>()) {
                    if (label->text().startsWith(QStringLiteral("出力先"))) status = label->text();
                }
                okEnabled = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open)->isEnabled();
                dialog->reject();
            });
        });
        QVERIFY(!browse.Execute());
        QCOMPARE(initialized, tmp->Path("out"));  // the final "/" removed
        QVERIFY(reportedWindow != nullptr);
        QCOMPARE(status, QStringLiteral("出力先: ") + QString::fromStdString(tmp->Path("out")));
        QVERIFY(!okEnabled);
    }

    void choicesOutsideTheRootAreRefused() {
        TBrowseDialog browse;
        browse.SetRoot(tmp->Path("out"));
        tmp->Dir("out/inner");
        QString startedIn;
        WhenDialogOpens([&](QFileDialog* dialog) {
            startedIn = dialog->directory().absolutePath();
            Type(dialog, tmp->Path("other"));
            Accept(dialog);  // refused: still open
            QVERIFY(dialog->isVisible());
            Type(dialog, tmp->Path("out/inner"));
            Accept(dialog);
        });
        QVERIFY(browse.Execute());
        QCOMPARE(startedIn, QString::fromStdString(tmp->Path("out")));
        QCOMPARE(QString::fromStdString(browse.Directory()), QString::fromStdString(tmp->Path("out/inner")));
    }

private:
    std::unique_ptr<TTempDir> tmp;
};

QTEST_MAIN(TBrowseDialogTest)
#include "browsedialog_test.moc"
