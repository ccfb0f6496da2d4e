// The help viewer (see HelpWindow.h).
#include "HelpWindow.h"

#include "PathText.h"
#include "ViewerLogic.h"

#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include <stdexcept>

namespace xavo {

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Window), FBrowser(new QTextBrowser(this)) {
    setWindowTitle(QStringLiteral("Xavoline ヘルプ"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(FBrowser);
    FBrowser->setOpenExternalLinks(true);
    resize(640, 560);
}

void THelpWindow::ShowTopic(const std::string& helpFile, int context) {
    if (!IsShowableFile(helpFile))
        throw std::runtime_error("ヘルプファイル " + helpFile + " が見つかりません");
    const QUrl url = QUrl::fromLocalFile(PathToQString(helpFile));
    FBrowser->setSource(url, QTextDocument::HtmlResource);
    if (FBrowser->document()->isEmpty()) throw std::runtime_error("ヘルプファイル " + helpFile + " を読み込めません");
    FBrowser->scrollToAnchor(QStringLiteral("topic%1").arg(context));
    show();
    raise();
    activateWindow();
}

}  // namespace xavo
