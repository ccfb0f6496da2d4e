// One GREP run at a time, into the results list, with the window kept responsive.
//
// Start compiles the pattern on the calling (GUI) thread with the window's TGrep, so a bad
// pattern raises before anything changes; then a worker thread collects the scope's files
// and searches them with the compiled program (immutable, shared), sending result lines in
// batches. The GUI thread appends them to the list a slice at a time, so the window
// repaints and takes commands (Cancel) throughout. A worker stuck in a read that never
// returns (a dead network mount) is left behind on Cancel and on destruction: the run ends
// for the window all the same. Entry point: TGrepRunner::Start.
#pragma once

#include "GrepFiles.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class QWidget;

namespace xavo {

class TGrep;
class TGrepProgram;
class TTextListBox;
class TWaitCursor;
struct RE_LineInfo_t;

// How a run ended. Cancelled keeps the lines found so far, as Failed does.
enum class TGrepRunEnd { Completed, Cancelled, Failed };

// What one run searches for and where: built once by the window, handed to the runner.
struct TGrepRequest {
    TGrepTarget Target;
    std::string Pattern;  // Shift-JIS, as typed (after a romaji expansion)
    bool Fuzzy = false;
};

// Caption of the busy window while a run is under way.
inline const QString kGrepBusyCaption = QStringLiteral("GREP処理中...");
// The error of a run that ran out of memory (after the file's path, when known).
inline const QString kGrepOutOfMemory = QStringLiteral("メモリが足りないため GREP を中止しました。");

class TGrepRunner : public QObject {
    Q_OBJECT

public:
    // Grep and List must outlive the runner. The runner compiles with Grep (its
    // UseFuzzyCharDic, RegExp; UseSynonymDic and SynonymDics as the caller left them) and
    // never touches it from the worker.
    TGrepRunner(TGrep& grep, TTextListBox& list, QObject* parent = nullptr);
    // Cancels a run under way and waits briefly for its thread; a thread that does not
    // end in that time is left to end on its own. Lines not yet appended are dropped.
    ~TGrepRunner() override;

    // The window whose caption reads "GREP処理中..." during a run, or null. Its caption is
    // restored at the end unless something else changed it meanwhile.
    void SetBusyWindow(QWidget* window) { FBusyWindow = window; }

    // Starts a run over Target with Pattern (Shift-JIS, as typed) and the fuzzy flag.
    // Returns false, changing nothing, while a run is under way. Sets Grep's
    // UseFuzzyCharDic, then its pattern: ERegExpParser (and any other error of the
    // engine) leaves Start here, with the list, GrepFiles and the caption untouched. Then
    // the list and GrepFiles are cleared, the caption and the hour-glass set, and the
    // search begins; searchDone reports its end.
    bool Start(const TGrepRequest& request);
    bool Start(const TGrepTarget& target, const std::string& pattern, bool fuzzy) {
        return Start(TGrepRequest{target, pattern, fuzzy});
    }

    bool IsRunning() const { return FRunning; }

    // Asks the run to stop at its next check; the lines found so far are kept and
    // searchDone reports Cancelled. A worker that has not stopped within AbandonAfterMs
    // (stuck in a read) is left behind: the run ends anyway and a new one may start.
    // Nothing happens when no run is under way.
    void Cancel();
    int AbandonAfterMs = 300;

    // Files of the last run that were skipped because reading them would wait (EWouldBlock).
    const std::vector<std::string>& SkippedFiles() const { return FSkippedFiles; }

    // Called on the worker thread before each file is searched, as part of its search (an
    // EWouldBlock it raises skips the file). Tests stall or skip files here.
    std::function<void(const std::string& path)> BeforeFile;

    // The files of the last run in search order (empty until its files are collected).
    const std::vector<std::string>& GrepFiles() const { return FGrepFiles; }

    // Processes events until the run under way has ended (returns at once otherwise).
    void WaitForDone();

    // Lines the worker may hold ready before it waits for the list to catch up. Takes
    // effect at the next Start.
    std::size_t MaxQueuedLines = 1 << 18;

signals:
    // Files were skipped because reading them would wait; sent before searchDone.
    void filesSkipped(const QStringList& paths);
    // Lines were appended to the list; Count is the list's size now.
    void linesAppended(int count);
    // A file could not be read: the run ends with Message (the engine's: the file's path
    // when it cannot be opened, the system's reason for a read error). Sent just before
    // searchDone(Failed).
    void searchFailed(const QString& message);
    // The run has ended: every line found is in the list, no line is selected, caption
    // and cursor are restored.
    void searchDone(xavo::TGrepRunEnd end);

private:
    // Result lines as the worker hands them over: one buffer, the end of each line in it.
    // A line whose converted text lost characters (the file is not in Shift-JIS) carries
    // its own text as well.
    struct TOwnText {
        std::size_t Line;    // in the batch
        std::size_t Prefix;  // bytes of "path lineno:"
        std::string Utf8;
    };
    struct TLineBatch {
        std::string Bytes;
        std::vector<std::size_t> Ends;
        std::vector<TOwnText> Own;
    };
    // What one run's worker shares with the window. The worker holds it, never the runner:
    // a worker left behind ends on its own without touching a runner that may be gone.
    struct TRun;

    class TBatchWriter;

    static void Work(std::shared_ptr<TRun> run, TGrepTarget target, std::shared_ptr<const TGrepProgram> program);
    // Worker side: hands a batch over, waiting while the list is too far behind.
    static void Push(TRun& run, TLineBatch&& batch);
    static void PostDrain(TRun& run);  // with the run's lock held
    // GUI side: appends waiting batches for a slice of time, then yields to the event loop.
    void Drain();
    void AppendBatch(const TLineBatch& batch);
    void Finish();
    // Ends a cancelled run whose worker has not stopped: keeps what it handed over and
    // leaves the thread behind.
    void AbandonIfStuck(const std::shared_ptr<TRun>& run);
    void EndRun(TGrepRunEnd end, const QString& error, std::vector<std::string> skipped);

    TGrep& FGrep;
    TTextListBox& FList;
    QPointer<QWidget> FBusyWindow;
    std::unique_ptr<TWaitCursor> FWaitCursor;
    QString FSavedCaption;
    bool FRunning = false;
    bool FDraining = false;
    bool FRefusalShown = false;
    std::vector<std::string> FGrepFiles;
    std::vector<std::string> FSkippedFiles;
    std::thread FWorker;
    std::shared_ptr<TRun> FRun;  // the run under way, or null
};

}  // namespace xavo
