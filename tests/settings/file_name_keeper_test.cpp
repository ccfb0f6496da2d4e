// TFileNameKeep: order of the names, the menu it builds, loading and saving.
#include "FileNameKeeper.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace xavo {
namespace {

using test::ReadWhole;
using test::TTempDir;
using test::WriteWhole;

// Records what the component does to its menu.
class TFakeMenu : public TFileNameMenu {
public:
    void AppendSeparator() override { Entries.push_back("-"); }
    void AppendItem(int index) override {
        EXPECT_EQ(index, static_cast<int>(Captions.size()) + 1) << "items come in order";
        Entries.push_back("item");
        Captions.emplace_back();
    }
    void SetItemCaption(int index, const std::string& caption) override {
        Captions.at(static_cast<std::size_t>(index - 1)) = caption;
    }

    std::vector<std::string> Entries;   // "-" and "item" in the order appended
    std::vector<std::string> Captions;  // per item
};

using TNames = std::array<std::string, TFileNameKeep::kNameCount>;

class FileNameKeepTest : public ::testing::Test {
protected:
    std::unique_ptr<TFileNameKeep> Keep(const std::string& content = {}) {
        if (!content.empty()) WriteWhole(Path(), content);
        auto keep = std::make_unique<TFileNameKeep>();
        keep->SetIniFileName(Path());
        keep->SetParentMenu(&Menu);
        return keep;
    }
    std::string Path() const { return Dir.Path("a.ini"); }

    TTempDir Dir;
    TFakeMenu Menu;
};

TEST_F(FileNameKeepTest, NothingHappensWithoutAMenuOrForAnEmptyName) {
    TFileNameKeep keep;
    keep.SetIniFileName(Path());
    keep.Add("*.txt");
    EXPECT_EQ(keep.Names()[0], "");
    auto loaded = Keep();
    loaded->Add("");
    EXPECT_TRUE(Menu.Entries.empty());
    EXPECT_EQ(loaded->ItemCount(), 0);
}

TEST_F(FileNameKeepTest, OneSeparatorAboveTheFirstItem) {
    auto keep = Keep();
    keep->Add("*.txt");
    EXPECT_EQ(Menu.Entries, (std::vector<std::string>{"-", "item"}));
    keep->Add("*.c");
    EXPECT_EQ(Menu.Entries, (std::vector<std::string>{"-", "item", "item"}));
    EXPECT_EQ(Menu.Captions, (std::vector<std::string>{"*.c", "*.txt"}));
}

TEST_F(FileNameKeepTest, NinthNameDropsTheOldest) {
    auto keep = Keep();
    for (int i = 1; i <= 9; ++i) keep->Add("n" + std::to_string(i));
    EXPECT_EQ(keep->Names(), (TNames{"n9", "n8", "n7", "n6", "n5", "n4", "n3", "n2"}));
    EXPECT_EQ(Menu.Entries.size(), 9u);  // one separator and eight items
    EXPECT_EQ(keep->ItemCount(), 8);
    EXPECT_EQ(Menu.Captions, (std::vector<std::string>{"n9", "n8", "n7", "n6", "n5", "n4", "n3", "n2"}));
}

TEST_F(FileNameKeepTest, KnownNameMovesToTheTopWithoutANewItem) {
    auto keep = Keep();
    for (const char* name : {"a", "b", "c"}) keep->Add(name);
    keep->Add("a");
    EXPECT_EQ(keep->Names(), (TNames{"a", "c", "b"}));
    EXPECT_EQ(keep->ItemCount(), 3);
    EXPECT_EQ(Menu.Captions, (std::vector<std::string>{"a", "c", "b"}));
    keep->Add("a");
    EXPECT_EQ(keep->Names(), (TNames{"a", "c", "b"}));
}

TEST_F(FileNameKeepTest, NamesDifferingInCaseAreTwo) {
    auto keep = Keep();
    keep->Add("*.TXT");
    keep->Add("*.txt");
    EXPECT_EQ(keep->Names(), (TNames{"*.txt", "*.TXT"}));
    EXPECT_EQ(keep->ItemCount(), 2);
}

TEST_F(FileNameKeepTest, LoadRebuildsTheStoredOrder) {
    auto keep = Keep("[KeepFileNames]\nFileName1=A\nFileName2=B\nFileName3=\nFileName8=\n");
    EXPECT_EQ(keep->Names(), (TNames{"A", "B"}));
    EXPECT_EQ(Menu.Entries, (std::vector<std::string>{"-", "item", "item"}));
    EXPECT_EQ(Menu.Captions, (std::vector<std::string>{"A", "B"}));
}

TEST_F(FileNameKeepTest, LoadReadsAsTheFileLayerDoes) {
    // Gaps close up, blanks and quotes go, a duplicate collapses, keys ignore case.
    auto keep = Keep("[keepfilenames]\nfilename1 = \"*.c\" \nFileName3=*.h\nFileName5=*.c\n");
    EXPECT_EQ(keep->Names(), (TNames{"*.c", "*.h"}));
}

TEST_F(FileNameKeepTest, SaveWritesAllEightKeysAndDropsOthers) {
    auto keep = Keep("[Other]\nx=1\n[KeepFileNames]\nFileName1=old\nStray=1\n[After]\ny=2\n");
    keep->Add("b");
    keep->Add("c");
    keep->Save();
    EXPECT_EQ(ReadWhole(Path()),
              "[Other]\nx=1\n[After]\ny=2\n[KeepFileNames]\nFileName1=c\nFileName2=b\nFileName3=old\n"
              "FileName4=\nFileName5=\nFileName6=\nFileName7=\nFileName8=\n");
}

TEST_F(FileNameKeepTest, SavedListLoadsBackInOrder) {
    {
        auto keep = Keep();
        for (const char* name : {"*.txt", "*.c", "*.\x83\x5c"}) keep->Add(name);
    }  // saved by the destructor
    TFakeMenu menu;
    TFileNameKeep again;
    again.SetIniFileName(Path());
    again.SetParentMenu(&menu);
    EXPECT_EQ(again.Names(), (TNames{"*.\x83\x5c", "*.c", "*.txt"}));
}

TEST_F(FileNameKeepTest, SaveErrorIsRaisedBySaveAndSwallowedByTheDestructor) {
    WriteWhole(Dir.Path("plain"), "");
    auto keep = std::make_unique<TFileNameKeep>();
    keep->SetIniFileName(Dir.Path("plain/a.ini"));
    keep->SetParentMenu(&Menu);
    keep->Add("*.txt");
    try {
        keep->Save();
        ADD_FAILURE() << "no error";
    } catch (const EIniFileError& e) {
        EXPECT_EQ(std::string(e.what()), Dir.Path("plain/a.ini") + " に書き込めません");
    }
    EXPECT_NO_THROW(keep.reset());
}

TEST_F(FileNameKeepTest, DestructorSavesOnlyWhatSaveHasNotSaved) {
    auto keep = Keep();
    keep->Add("a");
    keep->Save();
    WriteWhole(Path(), "changed by hand\n");
    keep.reset();
    EXPECT_EQ(ReadWhole(Path()), "changed by hand\n");
    {
        TFileNameKeep unloaded;  // never given a menu: it has nothing of its own to store
        unloaded.SetIniFileName(Dir.Path("never.ini"));
    }
    EXPECT_EQ(Dir.Entries(), std::vector<std::string>{"a.ini"});
}

TEST_F(FileNameKeepTest, ClickReportsTheNameEvenWhenTheHandlerAddsIt) {
    auto keep = Keep();
    for (const char* name : {"a", "b", "c"}) keep->Add(name);
    std::vector<std::string> selected;
    keep->OnSelect = [&](const std::string& name) {
        keep->Add(name);  // what the window does: apply the mask, which adds it again
        selected.push_back(name);
    };
    keep->ItemClick(3);
    keep->ItemClick(0);
    keep->ItemClick(4);
    EXPECT_EQ(selected, std::vector<std::string>{"a"});
    EXPECT_EQ(keep->Names(), (TNames{"a", "c", "b"}));
}

}  // namespace
}  // namespace xavo
