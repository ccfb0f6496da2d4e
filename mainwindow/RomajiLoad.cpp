// The window's romaji dictionary, see RomajiLoad.h.
#include "RomajiLoad.h"

#include "PathText.h"

namespace xavo {

namespace {

// How often a reading under way is looked at: quick enough that a GREP waiting for it
// starts without a felt delay.
constexpr int kWatchMilliseconds = 50;

}  // namespace

QString RomajiUnavailableHint(TMigemoProblem problem, const QString& file) {
    switch (problem) {
    case TMigemoProblem::NotAFile:
        return QStringLiteral("ローマ字検索 : %1 は通常のファイルではないため、辞書として読めません。").arg(file);
    case TMigemoProblem::TooLarge:
        return QStringLiteral("ローマ字検索 : %1 は辞書として大きすぎます。").arg(file);
    case TMigemoProblem::NotADictionary:
        return QStringLiteral("ローマ字検索 : %1 は Migemo の辞書ではありません。").arg(file);
    case TMigemoProblem::None:
    case TMigemoProblem::Missing: break;
    }
    return QStringLiteral("ローマ字検索 : 辞書 %1 がありません。パッケージ %2 をインストールすると使えます。")
        .arg(file, QString::fromLatin1(kMigemoPackage));
}

QString RomajiTooSlowHint(const QString& file, int seconds) {
    return QStringLiteral("ローマ字検索 : 辞書 %1 の読み込みが %2 秒たっても終わりません。").arg(file).arg(seconds);
}

TRomajiLoad::TRomajiLoad(std::string dictionary, QObject* parent)
    : QObject(parent), FMigemo(std::make_unique<TMigemo>(std::move(dictionary))) {
    FWatch.setInterval(kWatchMilliseconds);
    connect(&FWatch, &QTimer::timeout, this, &TRomajiLoad::Watch);
}

QString TRomajiLoad::QuickProblem() const {
    std::string file;
    const TMigemoProblem problem = CheckMigemoDictionary(FMigemo->Dictionary(), &file, false);
    return problem == TMigemoProblem::None ? QString() : RomajiUnavailableHint(problem, PathToQString(file));
}

void TRomajiLoad::Start() {
    if (FGivenUp || FMigemo->LoadState() != TMigemo::TLoadState::NotStarted) return;
    FMigemo->Prefetch();
    FSince.start();
    FWatch.start();
    Watch();
}

void TRomajiLoad::WhenLoaded(std::function<void()> work) {
    if (IsLoaded()) {
        work();
        return;
    }
    FWaiting = std::move(work);
    if (FMigemo->LoadState() == TMigemo::TLoadState::NotStarted)
        Start();
    else
        Watch();  // a reading that has already failed says so now
}

void TRomajiLoad::Watch() {
    const TMigemo::TLoadState state = FMigemo->LoadState();
    if (state == TMigemo::TLoadState::Loading && FSince.isValid() &&
        std::chrono::milliseconds(FSince.elapsed()) < LoadLimit)
        return;
    FWatch.stop();
    std::function<void()> work = std::exchange(FWaiting, nullptr);
    if (state == TMigemo::TLoadState::Loaded) {
        if (work) work();
        return;
    }
    if (state == TMigemo::TLoadState::NotStarted || FGivenUp) return;
    FGivenUp = true;  // a reading still under way is left to end; the switch stays off
    const QString hint = state == TMigemo::TLoadState::Failed
                             ? RomajiUnavailableHint(FMigemo->Problem(), PathToQString(FMigemo->ProblemFile()))
                             : RomajiTooSlowHint(PathToQString(FMigemo->Dictionary()),
                                                 static_cast<int>((LoadLimit.count() + 999) / 1000));
    emit unavailable(hint, static_cast<bool>(work));
}

}  // namespace xavo
