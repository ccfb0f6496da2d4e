// The help viewer: the help file (an HTML document of our own named "xavoline.hlp") shown
// in a browser window at its first topic. Entry point: THelpWindow::ShowTopic.
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
    // (the anchor "topic<Context>", or the top when there is none) and raises it. Throws
    // std::runtime_error with a message for the user when the file cannot be read.
    void ShowTopic(const std::string& helpFile, int context);

    QTextBrowser* Browser() const { return FBrowser; }

private:
    QTextBrowser* FBrowser;
};

}  // namespace xavo
