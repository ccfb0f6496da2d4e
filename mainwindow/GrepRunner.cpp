// A GREP run on a worker thread feeding the results list, see GrepRunner.h.
#include "GrepRunner.h"

#include "Grep.h"
#include "GrepText.h"
#include "FileSearch.h"
#include "MessageBoxes.h"
#include "PathText.h"
#include "ResultLine.h"
#include "TextListBox.h"
#include "WaitCursor.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
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

struct TGrepRunner::TRun {
    std::atomic<bool> Cancel{false};
    std::function<void(const std::string&)> BeforeFile;

    // Under Lock.
    std::mutex Lock;
    std::condition_variable Room;  // also signalled when the worker ends
    TGrepRunner* Runner = nullptr;  // null once the runner has left the run behind
    std::deque<TLineBatch> Batches;
    std::size_t QueuedLines = 0;
    std::size_t QueueLimit = 1;
    bool DrainPosted = false;
    bool FilesReady = false;
    std::vector<std::string> CollectedFiles;
    std::vector<std::string> Skipped;
    bool Ended = false;
    TGrepRunEnd End = TGrepRunEnd::Completed;
    QString Error;
};

// Collects the result lines of the worker into batches and hands them over.
class TGrepRunner::TBatchWriter {
public:
    explicit TBatchWriter(TRun& run) : FRun(run), FSince(std::chrono::steady_clock::now()) {}

    // The lines of the files before go over first: should this file's read never return,
    // a cancel keeps them.
    void BeginFile(const std::string& path) {
        if (!FBatch.Ends.empty()) Flush();
        FPath = &path;
        FSource.reset();
        FSourceFailed = false;
    }

    // OwnText: the line's Shift-JIS text is the file's own (TFileSearcher::ShowsOwnText).
    // Near: where in the file one of its characters lies, if known.
    void Add(const RE_LineInfo_t& info, const TFileEncoding& encoding, bool ownText, std::optional<std::uint64_t> near) {
        const std::size_t start = FBatch.Bytes.size();
        AppendResultLine(FBatch.Bytes, *FPath, info.LineNo, info.Line);
        if (!ownText)
            AddOwnText(info.LineNo, encoding, FBatch.Bytes.size() - start - info.Line.size(), near);
        FBatch.Ends.push_back(FBatch.Bytes.size());
        if (FBatch.Ends.size() >= kBatchLines || FBatch.Bytes.size() >= kBatchBytes) Flush();
    }

    // Called between blocks and before each reported line: sends lines that waited long.
    void Idle() {
        if (FBatch.Ends.empty() || ++FCalls % 16 != 0) return;
        if (std::chrono::steady_clock::now() - FSince >= kBatchAge) Flush();
    }

    void Flush() {
        // Room like the last batch's: files with a hit or two (flushed at each file's
        // start) do not pay for a large buffer each.
        const std::size_t sent = FBatch.Bytes.size();
        if (!FBatch.Ends.empty()) TGrepRunner::Push(FRun, std::move(FBatch));
        FBatch = TLineBatch();
        FBatch.Bytes.reserve(std::clamp<std::size_t>(sent * 2, 4096, kBatchBytes / 4));
        FSince = std::chrono::steady_clock::now();
    }

private:
    // The file's own text of the line, read again from the file (forward only, for the few
    // lines that need it); without it the line shows as converted.
    void AddOwnText(std::int64_t lineNo, const TFileEncoding& encoding, std::size_t prefix,
                    std::optional<std::uint64_t> near) {
        if (FSourceFailed) return;
        std::string utf8;
        try {
            if (!FSource) FSource = std::make_unique<TSourceText>(*FPath, encoding);
            if (!FSource->Utf8Line(lineNo, utf8, near)) return;
        } catch (const EInOutError&) {  // gone or unreadable since the search
            FSourceFailed = true;
            return;
        }
        // The list shows the start of a long line only.
        constexpr std::size_t kMaxBytes = 4 * static_cast<std::size_t>(TTextListBox::kMaxShownUnits);
        if (utf8.size() > kMaxBytes) {
            std::size_t cut = kMaxBytes;
            while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80) --cut;
            utf8.resize(cut);
        }
        FBatch.Own.push_back({FBatch.Ends.size(), prefix, std::move(utf8)});
    }

    TRun& FRun;
    const std::string* FPath = nullptr;
    std::unique_ptr<TSourceText> FSource;  // the file's own text, once a line needs it
    bool FSourceFailed = false;
    TLineBatch FBatch;
    std::chrono::steady_clock::time_point FSince;
    unsigned FCalls = 0;
};

TGrepRunner::TGrepRunner(TGrep& grep, TTextListBox& list, QObject* parent)
    : QObject(parent), FGrep(grep), FList(list) {}

TGrepRunner::~TGrepRunner() {
    if (!FWorker.joinable()) return;
    bool ended;
    {
        std::unique_lock lock(FRun->Lock);
        FRun->Cancel = true;
        FRun->Room.notify_all();
        // Closing the window must not hang on a read that never returns.
        ended = FRun->Room.wait_for(lock, std::chrono::milliseconds(AbandonAfterMs), [this] { return FRun->Ended; });
        FRun->Runner = nullptr;
    }
    if (ended)
        FWorker.join();
    else
        FWorker.detach();
}

bool TGrepRunner::Start(const TGrepRequest& request) {
    if (FRunning) return false;
    FGrep.SwitchFuzzyCharDic(request.Fuzzy);
    FGrep.SetRegExp(request.Pattern);

    FList.Clear();
    FGrepFiles.clear();
    FSkippedFiles.clear();
    FRunning = true;
    FRefusalShown = false;
    FRun = std::make_shared<TRun>();
    FRun->Runner = this;
    FRun->QueueLimit = std::max<std::size_t>(MaxQueuedLines, 1);
    FRun->BeforeFile = BeforeFile;
    if (FBusyWindow) {
        FSavedCaption = FBusyWindow->windowTitle();
        FBusyWindow->setWindowTitle(kGrepBusyCaption);
    }
    FWaitCursor = std::make_unique<TWaitCursor>();
    FWorker = std::thread(&TGrepRunner::Work, FRun, request.Target, FGrep.Program());
    return true;
}

void TGrepRunner::Cancel() {
    if (!FRunning || !FRun) return;
    {
        std::lock_guard lock(FRun->Lock);
        FRun->Cancel = true;
        FRun->Room.notify_all();
    }
    QTimer::singleShot(AbandonAfterMs, this, [this, run = std::weak_ptr<TRun>(FRun)] {
        if (const std::shared_ptr<TRun> current = run.lock()) AbandonIfStuck(current);
    });
}

void TGrepRunner::AbandonIfStuck(const std::shared_ptr<TRun>& run) {
    if (run != FRun) return;  // that run has ended meanwhile
    if (FDraining) {           // inside a message box of the drain: come back afterwards
        QTimer::singleShot(AbandonAfterMs, this, [this, weak = std::weak_ptr<TRun>(run)] {
            if (const std::shared_ptr<TRun> current = weak.lock()) AbandonIfStuck(current);
        });
        return;
    }
    std::deque<TLineBatch> batches;
    std::vector<std::string> skipped;
    {
        std::lock_guard lock(run->Lock);
        if (run->Ended) return;  // it did stop: the posted drain ends the run
        run->Runner = nullptr;
        batches.swap(run->Batches);
        skipped = run->Skipped;
        if (run->FilesReady) FGrepFiles = std::move(run->CollectedFiles);
        run->Room.notify_all();
    }
    FWorker.detach();
    for (const TLineBatch& batch : batches) AppendBatch(batch);
    EndRun(TGrepRunEnd::Cancelled, QString(), std::move(skipped));
}

void TGrepRunner::WaitForDone() {
    if (!FRunning) return;
    // A nested loop sleeps between events as the window's own loop does; the run can only
    // end inside it (the end is handled on this thread).
    QEventLoop loop;
    connect(this, &TGrepRunner::searchDone, &loop, &QEventLoop::quit);
    loop.exec();
}

void TGrepRunner::Work(std::shared_ptr<TRun> run, TGrepTarget target, std::shared_ptr<const TGrepProgram> program) {
    TGrepRunEnd end = TGrepRunEnd::Completed;
    QString error;
    TBatchWriter writer(*run);
    std::string current;  // the file being searched (the list goes with the try block)
    try {
        std::vector<std::string> files = CollectGrepFiles(target, &run->Cancel);
        if (run->Cancel) throw EGrepCancel();
        {
            std::lock_guard lock(run->Lock);
            run->CollectedFiles = files;
            run->FilesReady = true;
        }
        TFileSearcher search(*program, run->Cancel, [&writer] { writer.Idle(); });
        for (const std::string& path : files) {
            writer.BeginFile(path);
            current = path;
            try {
                if (run->BeforeFile) run->BeforeFile(path);
                search.Run(path,
                           [&writer, &search](const RE_LineInfo_t& info) {
                               std::optional<std::uint64_t> near;
                               const bool own = search.ShowsOwnText(info, &near);
                               writer.Add(info, search.Encoding(), own, near);
                           });
            } catch (const EWouldBlock&) {
                // A file that would make the search wait (a kernel log under /proc) is
                // skipped and named at the end; the run goes on.
                std::lock_guard lock(run->Lock);
                run->Skipped.push_back(path);
            }
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
    std::lock_guard lock(run->Lock);
    run->Ended = true;
    run->End = end;
    run->Error = error;
    run->Room.notify_all();
    PostDrain(*run);
}

void TGrepRunner::Push(TRun& run, TLineBatch&& batch) {
    std::unique_lock lock(run.Lock);
    run.Room.wait(lock, [&run] { return run.QueuedLines < run.QueueLimit || run.Cancel; });
    if (run.Runner == nullptr) return;  // left behind: nobody takes lines any more
    run.QueuedLines += batch.Ends.size();
    run.Batches.push_back(std::move(batch));
    PostDrain(run);
}

void TGrepRunner::PostDrain(TRun& run) {
    if (run.DrainPosted || run.Runner == nullptr) return;
    run.DrainPosted = true;
    QMetaObject::invokeMethod(run.Runner, &TGrepRunner::Drain, Qt::QueuedConnection);
}

void TGrepRunner::Drain() {
    // A message box shown while appending runs a nested event loop; the outer call goes
    // on with the batches, so a nested one has nothing to do.
    if (FDraining || !FRun) return;
    const std::shared_ptr<TRun> run = FRun;
    FDraining = true;
    QElapsedTimer slice;
    slice.start();
    bool ended = false;
    for (;;) {
        TLineBatch batch;
        {
            std::lock_guard lock(run->Lock);
            if (run->FilesReady) {
                FGrepFiles = std::move(run->CollectedFiles);
                run->FilesReady = false;
            }
            if (run->Batches.empty()) {
                run->DrainPosted = false;
                ended = run->Ended;
                break;
            }
            if (slice.elapsed() >= DrainSliceMillis(FList.Count())) {
                // Still posted: the rest follows once pending events had their turn.
                QMetaObject::invokeMethod(this, &TGrepRunner::Drain, Qt::QueuedConnection);
                break;
            }
            batch = std::move(run->Batches.front());
            run->Batches.pop_front();
            run->QueuedLines -= batch.Ends.size();
            run->Room.notify_all();
        }
        AppendBatch(batch);
    }
    FDraining = false;
    if (ended && run == FRun) Finish();
}

void TGrepRunner::AppendBatch(const TLineBatch& batch) {
    std::size_t begin = 0;
    auto own = batch.Own.begin();
    for (std::size_t i = 0; i < batch.Ends.size(); ++i) {
        const std::string_view line(batch.Bytes.data() + begin, batch.Ends[i] - begin);
        begin = batch.Ends[i];
        try {
            if (own != batch.Own.end() && own->Line == i) {
                const TOwnText& text = *own++;
                FList.Add(line, ResultLineDisplayText(line.substr(0, text.Prefix)) + QString::fromUtf8(text.Utf8));
            } else {
                FList.Add(line);
            }
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
    std::vector<std::string> skipped;
    {
        std::lock_guard lock(FRun->Lock);
        end = FRun->End;
        error = FRun->Error;
        skipped = FRun->Skipped;
    }
    EndRun(end, error, std::move(skipped));
}

void TGrepRunner::EndRun(TGrepRunEnd end, const QString& error, std::vector<std::string> skipped) {
    FRun.reset();
    FSkippedFiles = std::move(skipped);
    FWaitCursor.reset();
    if (FBusyWindow && FBusyWindow->windowTitle() == kGrepBusyCaption) FBusyWindow->setWindowTitle(FSavedCaption);
    FList.SetItemIndex(-1);
    FRunning = false;
    if (end == TGrepRunEnd::Failed) emit searchFailed(error);
    if (!FSkippedFiles.empty()) {
        QStringList paths;
        for (const std::string& path : FSkippedFiles) paths << PathToQString(path);
        emit filesSkipped(paths);
    }
    emit searchDone(end);
}

}  // namespace xavo
