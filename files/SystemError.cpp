// Japanese texts for the common error numbers (see SystemError.h).
#include "SystemError.h"

#include <cerrno>
#include <cstring>

namespace xavo {

std::string SystemErrorText(int error) {
    switch (error) {
    case ENOENT: return "ファイルまたはディレクトリがありません";
    case EACCES:
    case EPERM: return "アクセスが拒否されました";
    case ENOSPC:
    case EDQUOT: return "ディスクの空き容量が足りません";
    case EROFS: return "読み取り専用のファイルシステムです";
    case EFBIG: return "ファイルが大きすぎます";
    default: return std::strerror(error);
    }
}

}  // namespace xavo
