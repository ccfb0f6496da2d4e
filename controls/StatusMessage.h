// The text of the status panel that shows hints and messages. Two kinds share it: a result
// message, which a command leaves to say what it found or did ("見つかりません",
// "保存しました", "N 件 / M ファイル"), and the hint of the control or menu item under the
// mouse. A hint shows over the result for as long as the mouse rests; when it goes, the
// result comes back. The result stays until the user's next command begins, that is the
// next key press (a modifier alone does not count) or mouse click anywhere in the program,
// or until the next result replaces it. Entry point: TStatusMessage.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QLabel;

namespace xavo {

class TStatusMessage : public QObject {
    Q_OBJECT
public:
    // Shows on Panel (not owned). Watches the application's input while it lives.
    explicit TStatusMessage(QLabel* panel, QObject* parent = nullptr);
    ~TStatusMessage() override;
    TStatusMessage(const TStatusMessage&) = delete;
    TStatusMessage& operator=(const TStatusMessage&) = delete;

    // Message becomes the result shown when no hint is (an empty Message clears it).
    void ShowResult(const QString& message);
    void ClearResult() { ShowResult(QString()); }
    const QString& Result() const { return FResult; }

    // Hint shows over the result; an empty Hint means the mouse left, and the result shows.
    void ShowHint(const QString& hint);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Show();

    QPointer<QLabel> FPanel;
    QString FResult;
    QString FHint;
};

}  // namespace xavo
