// Reports every change of the clipboard's contents to one handler. Assigning a handler
// starts watching and assigning an empty one stops it, also from inside the handler.
// Entry points: SetOnClipChange, IgnoreFirst.
#pragma once

#include <QMetaObject>
#include <QObject>

#include <functional>

namespace xavo {

class TZqClipDetector : public QObject {
    Q_OBJECT
public:
    using TNotifyEvent = std::function<void(TZqClipDetector* sender)>;

    explicit TZqClipDetector(QObject* parent = nullptr);
    ~TZqClipDetector() override;

    // A handler while not watching starts watching (reporting the joining notice at once
    // unless IgnoreFirst); a handler while watching replaces the old one; an empty handler
    // stops watching. Raises std::runtime_error "TZqClipDetector.SetOnClipChange: Cannot
    // Allocate HWnd" when the application has no clipboard (no QGuiApplication).
    void SetOnClipChange(TNotifyEvent handler);
    const TNotifyEvent& OnClipChange() const { return FOnClipChange; }

    // Whether the notice of joining is swallowed; true by default. Qt sends none, so with
    // false the start of watching is reported as a change, as the clipboard chain does.
    bool IgnoreFirst() const { return FIgnoreFirst; }
    void SetIgnoreFirst(bool value) { FIgnoreFirst = value; }

    bool Watching() const { return static_cast<bool>(FConnection); }

    // Calls the handler, if any, with this detector.
    void DoClipChange();

private:
    QMetaObject::Connection FConnection;
    TNotifyEvent FOnClipChange;
    bool FIgnoreFirst = true;
};

}  // namespace xavo
