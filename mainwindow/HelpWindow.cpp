// The help viewer (see HelpWindow.h).
#include "HelpWindow.h"

#include "PathText.h"
#include "ViewerLogic.h"

#include <QScreen>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <stdexcept>

namespace xavo {

namespace {

constexpr QSize kDesignedSize(640, 560);
const QMargins kFrameAllowance(8, 32, 8, 8);  // a title bar and thin borders

}  // namespace

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Window), FBrowser(new QTextBrowser(this)) {
    setWindowTitle(QStringLiteral("Xavoline ヘルプ"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(FBrowser);
    FBrowser->setOpenExternalLinks(true);
    resize(kDesignedSize);
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    close->setContext(Qt::WindowShortcut);
    connect(close, &QShortcut::activated, this, &QWidget::close);
}

void THelpWindow::PlaceInsideScreen() {
    QWidget* owner = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
    const QScreen* screen = owner != nullptr ? owner->screen() : this->screen();
    if (screen == nullptr) return;
    const QRect available = screen->availableGeometry();
    // The frame the window manager adds: as measured once shown, else room for a title bar.
    const QMargins frame = FShownBefore ? QMargins(geometry().left() - frameGeometry().left(),
                                                  geometry().top() - frameGeometry().top(),
                                                  frameGeometry().right() - geometry().right(),
                                                  frameGeometry().bottom() - geometry().bottom())
                                        : kFrameAllowance;
    const QSize size = kDesignedSize.boundedTo(available.size().shrunkBy(frame));
    resize(size);
    QRect outer(QPoint(), size.grownBy(frame));
    outer.moveCenter(owner != nullptr ? owner->frameGeometry().center() : available.center());
    outer.moveLeft(std::max(available.left(), std::min(outer.left(), available.right() + 1 - outer.width())));
    outer.moveTop(std::max(available.top(), std::min(outer.top(), available.bottom() + 1 - outer.height())));
    move(outer.topLeft());  // a window's position is its frame's
}

void THelpWindow::ShowTopic(const std::string& helpFile, int context) {
    if (!IsShowableFile(helpFile))
        throw std::runtime_error("ヘルプファイル " + helpFile + " が見つかりません");
    const QUrl url = QUrl::fromLocalFile(PathToQString(helpFile));
    FBrowser->setSource(url, QTextDocument::HtmlResource);
    if (FBrowser->document()->isEmpty()) throw std::runtime_error("ヘルプファイル " + helpFile + " を読み込めません");
    FBrowser->scrollToAnchor(QStringLiteral("topic%1").arg(context));
    if (!isVisible()) PlaceInsideScreen();
    show();
    FShownBefore = true;
    raise();
    activateWindow();
}

}  // namespace xavo
