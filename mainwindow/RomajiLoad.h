// The romaji dictionary as the window uses it: read on a thread of its own when the switch
// goes on, watched from the event loop and never waited for on the GUI thread. A reading
// that fails, or is still going after LoadLimit, is reported with its reason in Japanese,
// so that the window disables the switch (a FIFO or a hung disk cannot freeze it).
// Entry points: TRomajiLoad::Start, TRomajiLoad::WhenLoaded, RomajiUnavailableHint.
#pragma once

#include "Migemo.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>

namespace xavo {

// The hint of the romaji switch when Dictionary cannot serve: what is wrong with File (the
// dictionary or a conversion table beside it).
QString RomajiUnavailableHint(TMigemoProblem problem, const QString& file);
// The hint when the dictionary (File) is still being read after Seconds.
QString RomajiTooSlowHint(const QString& file, int seconds);

class TRomajiLoad : public QObject {
    Q_OBJECT

public:
    explicit TRomajiLoad(std::string dictionary = DefaultMigemoDictionary(), QObject* parent = nullptr);

    TMigemo& Migemo() { return *FMigemo; }
    bool IsLoaded() const { return FMigemo->LoadState() == TMigemo::TLoadState::Loaded; }

    // The hint saying why the dictionary cannot serve, from what the directory says of its
    // files (nothing is read), or empty.
    QString QuickProblem() const;

    // Starts reading the dictionary, once, and watching the reading.
    void Start();

    // Runs Work now when the dictionary is read; otherwise starts reading and runs Work when
    // the reading has ended well (a reading that fails or takes too long drops it, and
    // unavailable says so). Work waiting is replaced.
    void WhenLoaded(std::function<void()> work);
    // Forgets work waiting (another run was asked for meanwhile).
    void DropWaiting() { FWaiting = nullptr; }

    // How long a reading may take before the switch is given up.
    std::chrono::milliseconds LoadLimit{5000};

signals:
    // The dictionary cannot serve; Hint says why. Dropped: a run was waiting for it.
    void unavailable(const QString& hint, bool dropped);

private:
    void Watch();

    std::unique_ptr<TMigemo> FMigemo;
    QTimer FWatch;
    QElapsedTimer FSince;
    std::function<void()> FWaiting;
    bool FGivenUp = false;
};

}  // namespace xavo
