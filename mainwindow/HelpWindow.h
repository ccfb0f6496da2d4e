// The help viewer: the help file (an HTML document of our own named "xavoline.hlp") shown
// in a browser window at its first topic, opened over its owner and inside the screen's
// available area; Esc closes it. Entry point: THelpWindow::ShowTopic.
#pragma once

#include <QWidget>

#include <string>

class QTextBrowser;

namespace xavo {

class THelpWindow : public QWidget {
    Q_OBJECT
public:
    // A top-level window (owned by Parent) that shows nothing until ShowTopic.
    explicit THelpWindow(QWidget* parent = nullptr);

    // Loads HelpFile (file-system bytes), shows the window at the topic numbered Context
    // (the anchor "topic<Context>", or the top when there is none) and raises it. A window
    // not yet shown is placed over its owner, moved and shrunk as needed to lie inside the
    // available area of the owner's screen. Throws std::runtime_error with a message for
    // the user when the file cannot be read.
    void ShowTopic(const std::string& helpFile, int context);

    QTextBrowser* Browser() const { return FBrowser; }

private:
    void PlaceInsideScreen();

    QTextBrowser* FBrowser;
    bool FShownBefore = false;  // the window manager's frame is known once it has been shown
};

}  // namespace xavo
