// A drop target for files dragged from a file manager onto any widget: an event filter on
// the widget (on its viewport for scroll areas) takes drags that carry local files and
// reports the dropped paths, in the order given, with the drop point in the widget's
// coordinates. Other drags pass through to the widget untouched.
// Entry points: SetControl, SetTarget, SetAcceptDrop, SetOnFileDrop.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

namespace xavo {

class TDropDst : public QObject {
    Q_OBJECT
public:
    enum THookTarget { htControl = 0, htForm = 1 };
    // Files are file-system bytes (full paths); the list lives for the call only.
    using TFileDropEvent =
        std::function<void(TDropDst* sender, const std::vector<std::string>& files, int x, int y)>;

    explicit TDropDst(QObject* parent = nullptr);
    ~TDropDst() override;

    // The widget to watch (htControl) or to start from (htForm: its top-level window; with
    // no Control, the window of the first widget among this object's parents). Assigning
    // either moves the hook. Raises std::runtime_error "フック先を特定できません。" when
    // htForm finds no window.
    QWidget* Control() const { return FControl; }
    void SetControl(QWidget* control);
    THookTarget Target() const { return FTarget; }
    void SetTarget(THookTarget target);

    // Whether dropped files are accepted (true by default); refused drags never reach the
    // handler nor the widget.
    bool AcceptDrop() const { return FAcceptDrop; }
    void SetAcceptDrop(bool value) { FAcceptDrop = value; }

    void SetOnFileDrop(TFileDropEvent handler) { FOnFileDrop = std::move(handler); }

    // The widget whose drops are watched; null when none.
    QWidget* HookedWidget() const { return FHooked; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Hook();
    void Unhook();
    // Calls the handler; an exception it raises is shown in the application's error box.
    void DoFileDrop(const std::vector<std::string>& files, const QPoint& point);

    QPointer<QWidget> FControl;
    THookTarget FTarget = htControl;
    bool FAcceptDrop = true;
    TFileDropEvent FOnFileDrop;
    QPointer<QWidget> FHooked;
    QPointer<QWidget> FDropReceiver;  // FHooked, or its viewport for a scroll area
    bool FReceiverAcceptedDrops = false;
};

}  // namespace xavo
