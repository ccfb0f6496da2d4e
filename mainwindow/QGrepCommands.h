// The main window's Q-GREP menu: choosing the external grep program and its options, the
// launch over the file list's directory, and the pick-up of its result from the clipboard
// into the results list.
//
// A launch watches the clipboard (ZqClipDetector1) and marks a result as pending; the next
// clipboard change, whoever made it, ends the watch and, while pending, replaces the results
// list. A start that fails is reported and leaves nothing pending. Entry point: TQGrepCommands.
#pragma once

#include <QObject>
#include <QPointer>

class QAction;

namespace xavo {

class TForm1;
class TZqClipDetector;

class TQGrepCommands : public QObject {
    Q_OBJECT
public:
    // Binds the Q-GREP items of Form and enables them; a child of Form.
    explicit TQGrepCommands(TForm1& form);
    ~TQGrepCommands() override;

    // True from a launch until the next clipboard change has been taken.
    bool QGrepPending() const { return FQGrepPending; }

    // The menu opens: "[Q]選択ﾌｧｲﾙのみ" is enabled when the program can be found.
    void Grep21Click();
    // The open dialog; the chosen file's full path becomes the program.
    void Grep1Click();
    // The input box for the options; Cancel keeps them.
    void QGrepOption1Click();
    // The launch by the item Sender (its data() is the tag: 0 selected file, 1 mask). The
    // selected file is the one last chosen in the list, else the shown one, and is searched
    // in its directory; with neither, nothing starts.
    // Raises std::runtime_error (nothing pending, the clipboard not watched) when the
    // program cannot be started; the message names the program and the system's reason.
    void MmGOneClick(const QAction* sender);
    // The clipboard changed while watched.
    void ZqClipDetector1ClipChange();

private:
    void SetWatching(bool on);

    TForm1& FForm;
    QPointer<TZqClipDetector> FDetector;
    bool FQGrepPending = false;
};

}  // namespace xavo
