// xavoline-qgrep's search and clipboard offer, see QGrepHelper.h.
#include "QGrepHelper.h"

#include <QClipboard>
#include <QMimeData>

#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iterator>
#include <memory>
#include <string_view>

namespace xavo {

namespace {

bool HasWildcard(const std::string& word) { return word.find_first_of("*?") != std::string::npos; }

// The options the window passes to its external grep unless told otherwise. They are
// written for another grep program and mean nothing here, so they are taken as none.
constexpr std::string_view kWindowDefaultOptions[] = {"-1+", "-c", "-E"};

// Args without the window's default options at their start.
std::vector<std::string> WithoutWindowDefaults(const std::vector<std::string>& args) {
    const std::size_t count = std::size(kWindowDefaultOptions);
    if (args.size() >= count && std::equal(std::begin(kWindowDefaultOptions), std::end(kWindowDefaultOptions), args.begin()))
        return {args.begin() + static_cast<std::ptrdiff_t>(count), args.end()};
    return args;
}

// A memory stream the grep writes into; Text() is what it holds so far.
class TMemoryStream {
public:
    TMemoryStream() : FFile(open_memstream(&FBuffer, &FSize)) {
        if (FFile == nullptr) throw std::runtime_error("out of memory");
    }
    ~TMemoryStream() {
        std::fclose(FFile);
        std::free(FBuffer);
    }
    TMemoryStream(const TMemoryStream&) = delete;
    TMemoryStream& operator=(const TMemoryStream&) = delete;

    std::FILE* File() const { return FFile; }
    std::string Text() {
        std::fflush(FFile);
        return {FBuffer, FSize};
    }

private:
    char* FBuffer = nullptr;
    std::size_t FSize = 0;
    std::FILE* FFile;
};

// Text whose every read is reported: that is how the owner learns it was taken.
class TReportingMimeData : public QMimeData {
public:
    explicit TReportingMimeData(std::function<void()> onRead) : FOnRead(std::move(onRead)) {}

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override {
        if (FOnRead) FOnRead();
        return QMimeData::retrieveData(mimeType, type);
    }

private:
    std::function<void()> FOnRead;
};

}  // namespace

TGrepOptions QGrepHelperOptions(const std::vector<std::string>& args) {
    const std::vector<std::string> given = WithoutWindowDefaults(args);
    std::vector<std::string> words;
    words.reserve(given.size() + 1);
    words.emplace_back("xavoline-qgrep");
    words.insert(words.end(), given.begin(), given.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    TGrepOptions options = ParseGrepArguments(static_cast<int>(words.size()), argv.data());

    std::string mask;
    std::vector<std::string> paths;
    for (const std::string& path : options.Paths) {
        std::error_code ignored;
        if (HasWildcard(path) && !std::filesystem::exists(path, ignored))
            mask += (mask.empty() ? "" : ";") + path;
        else
            paths.push_back(path);
    }
    if (!mask.empty()) {
        options.Mask = mask;
        paths.emplace_back(".");
    }
    options.Paths = std::move(paths);
    options.Utf8Output = true;
    return options;
}

std::string QGrepClipboardText(const std::vector<std::string>& args, int& status) {
    // The window drops the last line as the summary: a failure keeps its messages above one.
    static const std::string kFailureRule = "=== エラー\n";
    std::string heading = "*** xavoline-qgrep";
    for (const std::string& arg : args) heading += " " + arg;
    heading += "\n";
    try {
        const TGrepOptions options = QGrepHelperOptions(args);
        TMemoryStream out;
        TMemoryStream err;
        status = RunGrepCommand(options, out.File(), err.File());
        const std::string lines = out.Text();
        std::size_t count = 0;
        for (const char c : lines) count += c == '\n' ? 1 : 0;
        return heading + lines + err.Text() + "=== " + std::to_string(count) + " lines\n";
    } catch (const EUsage& e) {
        status = 2;
        return heading + "xavoline-qgrep: コマンドラインを解釈できません（" + e.what() +
               "）\nxavoline-qgrep: 「QGrep起動ｵﾌﾟｼｮﾝ...」には xavoline-grep のオプションを指定してください"
               "（xavoline-grep --help）\n" + kFailureRule;
    } catch (const std::exception& e) {
        status = 2;
        return heading + "xavoline-qgrep: " + e.what() + "\n" + kFailureRule;
    }
}

TClipboardOffer::TClipboardOffer(QClipboard* clipboard, const QString& text, std::chrono::milliseconds takenGrace,
                                 std::chrono::milliseconds maxWait, QObject* parent)
    : QObject(parent), FClipboard(clipboard) {
    FGrace.setSingleShot(true);
    FGrace.setInterval(takenGrace);
    FLimit.setSingleShot(true);
    connect(&FGrace, &QTimer::timeout, this, &TClipboardOffer::Finish);
    connect(&FLimit, &QTimer::timeout, this, &TClipboardOffer::Finish);
    auto* data = new TReportingMimeData([this] { WasRead(); });
    data->setText(text);
    FData = data;
    clipboard->setMimeData(data);
    // Connected after setting: our own change is no news.
    connect(clipboard, &QClipboard::dataChanged, this, &TClipboardOffer::ClipboardChanged);
    FLimit.start(maxWait);
}

void TClipboardOffer::WasRead() {
    FTaken = true;
    // Later readers (a clipboard manager and the window) come close together: wait a little.
    QMetaObject::invokeMethod(&FGrace, qOverload<>(&QTimer::start), Qt::QueuedConnection);
}

void TClipboardOffer::ClipboardChanged() {
    if (FData.isNull() || FClipboard->mimeData() != FData) Finish();
}

void TClipboardOffer::Finish() {
    if (std::exchange(FFinished, true)) return;
    FGrace.stop();
    FLimit.stop();
    emit finished();
}

}  // namespace xavo
