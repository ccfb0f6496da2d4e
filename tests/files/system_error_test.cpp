// The reasons a user reads for failed file operations.
#include "SystemError.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace xavo {
namespace {

TEST(SystemErrorText, CommonReasonsInJapaneseOthersAsTheSystemSaysThem) {
    const struct {
        int Error;
        const char* Text;
    } rows[] = {
        {ENOENT, "ファイルまたはディレクトリがありません"}, {EACCES, "アクセスが拒否されました"},
        {EPERM, "アクセスが拒否されました"},             {ENOSPC, "ディスクの空き容量が足りません"},
        {EDQUOT, "ディスクの空き容量が足りません"},       {EROFS, "読み取り専用のファイルシステムです"},
        {EFBIG, "ファイルが大きすぎます"},
    };
    for (const auto& row : rows) EXPECT_EQ(SystemErrorText(row.Error), row.Text) << row.Error;
    EXPECT_EQ(SystemErrorText(EIO), std::strerror(EIO));
}

}  // namespace
}  // namespace xavo
