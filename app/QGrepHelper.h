// xavoline-qgrep: our grep run for the window's external-grep launch. It searches with the
// arguments it is given and leaves the result on the clipboard, where the window picks it
// up: a "***" heading, the "path lineno:text" lines, any error messages, a "===" rule.
//
// Words of the file part holding wildcards ("*.txt" as the window passes its file mask)
// become the mask over the working directory, since no shell expands them. The clipboard
// keeps the text while this program lives, so it stays until the text has been taken (or
// the clipboard has changed again) or a few seconds have passed; no clipboard manager is
// needed. Entry points: QGrepHelperOptions, QGrepClipboardText, TClipboardOffer.
#pragma once

#include "GrepCommand.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <chrono>
#include <string>
#include <vector>

class QClipboard;
class QMimeData;

namespace xavo {

// The grep's options for Args (without the program's name): the window's default Q-GREP
// options ("-1+ -c -E", written for another program) dropped from their start, the rest as
// xavoline-grep reads them, then path words with "*" or "?" that name no existing file
// joined into the mask (";" between them), searched in "." (with -r, below it). Output is
// always UTF-8. Raises EUsage for a command line the grep refuses.
TGrepOptions QGrepHelperOptions(const std::vector<std::string>& args);

// Runs the grep over Args and returns the clipboard's text (UTF-8): the heading, the result
// lines, the grep's messages, the rule; each line ends in "\n". A command line the grep
// refuses yields its message and a hint (in Japanese) instead of results, still above a
// rule, which the window drops. Status: the grep's exit status.
std::string QGrepClipboardText(const std::vector<std::string>& args, int& status);

// Owns Text on Clipboard while it lives and says when it may go: TakenGrace after the
// text was last read, at once when the clipboard holds something else, at MaxWait at the
// latest.
class TClipboardOffer : public QObject {
    Q_OBJECT
public:
    TClipboardOffer(QClipboard* clipboard, const QString& text, std::chrono::milliseconds takenGrace,
                    std::chrono::milliseconds maxWait, QObject* parent = nullptr);

    bool Taken() const { return FTaken; }

signals:
    // Sent once: the offer is over (taken, replaced or timed out).
    void finished();

private:
    void WasRead();
    void ClipboardChanged();
    void Finish();

    QClipboard* FClipboard;
    QPointer<QMimeData> FData;  // the clipboard owns and deletes it
    QTimer FGrace;
    QTimer FLimit;
    bool FTaken = false;
    bool FFinished = false;
};

}  // namespace xavo
