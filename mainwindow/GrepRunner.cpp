// A GREP run on a worker thread feeding the results list, see GrepRunner.h.
#include "GrepRunner.h"

#include "Grep.h"
#include "GrepSearch.h"
#include "MessageBoxes.h"
#include "PathText.h"
#include "ResultLine.h"
#include "TextListBox.h"
#include "WaitCursor.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <new>

namespace xavo {

namespace {

// A batch goes to the list when it is this full, or this old once it holds a line, so
// that a few hits show at once and a flood costs one hand-over per few thousand lines.
constexpr std::size_t kBatchLines = 4096;
constexpr std::size_t kBatchBytes = 1 << 20;
constexpr auto kBatchAge = std::chrono::milliseconds(25);
// How long the GUI thread appends before it lets other events through. Each turn of the
// event loop after appending lets the list lay out all its rows again (about 45 ns a row),
// so a long list gets longer slices: at a million rows the layouts cost half the
// appending instead of twice it, and the window still answers within about 0.15 s.
qint64 DrainSliceMillis(int listCount) { return std::clamp<qint64>(listCount / 10000, 20, 100); }

}  // namespace

void SetFuzzyBeforeNewPattern(TGrep& grep, bool use) {
    try {
        grep.SetUseFuzzyCharDic(use);
    } catch (const ERegExpParser&) {
    }
}

void SetSynonymsBeforeNewPattern(TGrep& grep, bool use) {
    try {
        grep.SetUseSynonymDic(use);
    } catch (const ERegExpParser&) {
    }
}

// Collects the result lines of the worker into batches and hands them over.
class TGrepRunner::TBatchWriter {
public:
    explicit TBatchWriter(TGrepRunner& runner) : FRunner(runner), FSince(std::chrono::steady_clock::now()) {}

    void BeginFile(const std::string& path) { FPath = &path; }

    void Add(const RE_LineInfo_t& info) {
        AppendResultLine(FBatch.Bytes, *FPath, info.LineNo, info.Line);
        FBatch.Ends.push_back(FBatch.Bytes.size());
        if (FBatch.Ends.size() >= kBatchLines || FBatch.Bytes.size() >= kBatchBytes) Flush();
    }

    // Called between blocks and before each reported line: sends lines that waited long.
    void Idle() {
        if (FBatch.Ends.empty() || ++FCalls % 16 != 0) return;
        if (std::chrono::steady_clock::now() - FSince >= kBatchAge) Flush();
    }

    void Flush() {
        if (!FBatch.Ends.empty()) FRunner.Push(std::move(FBatch));
        FBatch = TLineBatch();
        FBatch.Bytes.reserve(kBatchBytes / 4);
        FSince = std::chrono::steady_clock::now();
    }

private:
    TGrepRunner& FRunner;
    const std::string* FPath = nullptr;
    TLineBatch FBatch;
    std::chrono::steady_clock::time_point FSince;
    unsigned FCalls = 0;
};

TGrepRunner::TGrepRunner(TGrep& grep, TTextListBox& list, QObject* parent)
    : QObject(parent), FGrep(grep), FList(list) {}

TGrepRunner::~TGrepRunner() {
    if (!FWorker.joinable()) return;
    {
        std::lock_guard lock(FLock);
        FCancel = true;
        FRoom.notify_all();
    }
    FWorker.join();
}

bool TGrepRunner::Start(const TGrepTarget& target, const std::string& pattern, bool fuzzy) {
    if (FRunning) return false;
    SetFuzzyBeforeNewPattern(FGrep, fuzzy);
    FGrep.SetRegExp(pattern);

    FList.Clear();
    FGrepFiles.clear();
    FRunning = true;
    FRefusalShown = false;
    FCancel = false;
    {
        std::lock_guard lock(FLock);
        FBatches.clear();
        FQueuedLines = 0;
        FQueueLimit = std::max<std::size_t>(MaxQueuedLines, 1);
        FDrainPosted = false;
        FFilesReady = false;
        FCollectedFiles.clear();
        FEnded = false;
        FEnd = TGrepRunEnd::Completed;
        FError.clear();
    }
    if (FBusyWindow) {
        FSavedCaption = FBusyWindow->windowTitle();
        FBusyWindow->setWindowTitle(kGrepBusyCaption);
    }
    FWaitCursor = std::make_unique<TWaitCursor>();
    FWorker = std::thread(&TGrepRunner::Work, this, target, FGrep.Program());
    return true;
}

void TGrepRunner::Cancel() {
    if (!FRunning) return;
    std::lock_guard lock(FLock);
    FCancel = true;
    FRoom.notify_all();
}

void TGrepRunner::WaitForDone() {
    if (!FRunning) return;
    // A nested loop sleeps between events as the window's own loop does; the run can only
    // end inside it (the end is handled on this thread).
    QEventLoop loop;
    connect(this, &TGrepRunner::searchDone, &loop, &QEventLoop::quit);
    loop.exec();
}

void TGrepRunner::Work(TGrepTarget target, std::shared_ptr<const TGrepProgram> program) {
    TGrepRunEnd end = TGrepRunEnd::Completed;
    QString error;
    TBatchWriter writer(*this);
    std::string current;  // the file being searched (the list goes with the try block)
    try {
        std::vector<std::string> files = CollectGrepFiles(target, &FCancel);
        if (FCancel) throw EGrepCancel();
        {
            std::lock_guard lock(FLock);
            FCollectedFiles = files;
            FFilesReady = true;
        }
        TGrepSearch search(*program, FCancel, [&writer] { writer.Idle(); });
        for (const std::string& path : files) {
            writer.BeginFile(path);
            current = path;
            search.Run(path, [&writer](const RE_LineInfo_t& info) { writer.Add(info); });
        }
    } catch (const EGrepCancel&) {
        end = TGrepRunEnd::Cancelled;
    } catch (const EFileNotFound& e) {
        end = TGrepRunEnd::Failed;
        error = PathToQString(e.what());
    } catch (const std::bad_alloc&) {
        end = TGrepRunEnd::Failed;
        error = current.empty() ? kGrepOutOfMemory : PathToQString(current) + QStringLiteral(": ") + kGrepOutOfMemory;
    } catch (const std::exception& e) {
        end = TGrepRunEnd::Failed;
        error = QString::fromUtf8(e.what());
    }
    // The lines found before a cancel or an error stay.
    writer.Flush();
    std::lock_guard lock(FLock);
    FEnded = true;
    FEnd = end;
    FError = error;
    PostDrain();
}

void TGrepRunner::Push(TLineBatch&& batch) {
    std::unique_lock lock(FLock);
    FRoom.wait(lock, [this] { return FQueuedLines < FQueueLimit || FCancel; });
    FQueuedLines += batch.Ends.size();
    FBatches.push_back(std::move(batch));
    PostDrain();
}

void TGrepRunner::PostDrain() {
    if (FDrainPosted) return;
    FDrainPosted = true;
    QMetaObject::invokeMethod(this, &TGrepRunner::Drain, Qt::QueuedConnection);
}

void TGrepRunner::Drain() {
    // A message box shown while appending runs a nested event loop; the outer call goes
    // on with the batches, so a nested one has nothing to do.
    if (FDraining) return;
    FDraining = true;
    QElapsedTimer slice;
    slice.start();
    bool ended = false;
    for (;;) {
        TLineBatch batch;
        {
            std::lock_guard lock(FLock);
            if (FFilesReady) {
                FGrepFiles = std::move(FCollectedFiles);
                FFilesReady = false;
            }
            if (FBatches.empty()) {
                FDrainPosted = false;
                ended = FEnded;
                break;
            }
            if (slice.elapsed() >= DrainSliceMillis(FList.Count())) {
                // Still posted: the rest follows once pending events had their turn.
                QMetaObject::invokeMethod(this, &TGrepRunner::Drain, Qt::QueuedConnection);
                break;
            }
            batch = std::move(FBatches.front());
            FBatches.pop_front();
            FQueuedLines -= batch.Ends.size();
            FRoom.notify_all();
        }
        AppendBatch(batch);
    }
    FDraining = false;
    if (ended) Finish();
}

void TGrepRunner::AppendBatch(const TLineBatch& batch) {
    std::size_t begin = 0;
    for (const std::size_t end : batch.Ends) {
        const std::string_view line(batch.Bytes.data() + begin, end - begin);
        begin = end;
        try {
            FList.Add(line);
        } catch (const std::exception&) {
            // The list holds lines until memory runs out; say so once a run, not once per
            // line, and go on (the search may still end, and the user may cancel).
            if (FRefusalShown) continue;
            FRefusalShown = true;
            ShowInformationBox(kApplicationTitle, QStringLiteral("Error: ") + QString::number(FList.Count()));
        }
    }
    emit linesAppended(FList.Count());
}

void TGrepRunner::Finish() {
    FWorker.join();
    TGrepRunEnd end;
    QString error;
    {
        std::lock_guard lock(FLock);
        end = FEnd;
        error = FError;
    }
    FWaitCursor.reset();
    if (FBusyWindow && FBusyWindow->windowTitle() == kGrepBusyCaption) FBusyWindow->setWindowTitle(FSavedCaption);
    FList.SetItemIndex(-1);
    FRunning = false;
    if (end == TGrepRunEnd::Failed) emit searchFailed(error);
    emit searchDone(end);
}

}  // namespace xavo
