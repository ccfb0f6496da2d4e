// errno values as reasons for the user, see ErrorText.h.
#include "ErrorText.h"

#include <cerrno>
#include <cstring>

namespace xavo {

std::string ErrorReason(int error) {
    switch (error) {
    case EPERM: return "許可されていない操作です";
    case ENOENT: return "そのようなファイルやディレクトリはありません";
    case EIO: return "入力/出力エラーです";
    case EACCES: return "許可がありません";
    case EBUSY: return "デバイスもしくはリソースがビジー状態です";
    case EEXIST: return "ファイルが存在します";
    case ENOTDIR: return "ディレクトリではありません";
    case EISDIR: return "ディレクトリです";
    case EINVAL: return "無効な引数です";
    case ETXTBSY: return "テキストファイルが使用中です";
    case EFBIG: return "ファイルが大きすぎます";
    case ENOSPC: return "デバイスに空き領域がありません";
    case EROFS: return "読み込み専用ファイルシステムです";
    case EMLINK: return "リンクが多すぎます";
    case ENAMETOOLONG: return "ファイル名が長すぎます";
    case ELOOP: return "シンボリックリンクの階層が多すぎます";
    case EDQUOT: return "ディスク使用量制限を超過しました";
    case ENOMEM: return "メモリが足りません";
    default: return std::strerror(error);
    }
}

}  // namespace xavo
