// A text view shown on the offscreen platform for the view's benchmarks: editable, a fixed
// font and size, painted on demand, keys sent as the keyboard sends them. Written against
// the view's public interface only, so that benchmarks can be built against older trees.
#pragma once

#include "XavoMemo.h"

#include <QApplication>
#include <QKeyEvent>

namespace xavo::bench {

struct TShownMemo {
    TXavoMemo Memo;
    explicit TShownMemo(bool wrap = false) {
        Memo.SetPlainText(true);
        Memo.SetReadOnly(false);
        Memo.SetWordWrap(wrap);
        Memo.setFont(QFont("IPAGothic", 10));
        Memo.resize(800, 600);
        Memo.show();
        QCoreApplication::processEvents();
    }
    void Paint() { Memo.viewport()->repaint(); }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {}) {
        QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
        QApplication::sendEvent(&Memo, &press);
    }
};

}  // namespace xavo::bench
