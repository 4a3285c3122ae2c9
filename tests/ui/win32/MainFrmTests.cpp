// The main window in this test's own process, driven with SendMessage and read
// back through its controls and through renderings of its paint functions.
#include "ui/win32/MainFrm.h"

#include <gtest/gtest.h>
#include <richedit.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "catalogue/Risk.h"
#include "probes/Probes.h"
#include "fakes/FakeProcessSource.h"
#include "fakes/FakeSignatureCheck.h"
#include "fakes/FakeVersionApi.h"
#include "fakes/SystemText.h"
#include "resources/StringTable.h"
#include "tests/trust/win32/SignedFiles.h"
#include "tests/ui/win32/WindowTesting.h"
#include "ui/rules/FormLayout.h"
#include "ui/rules/Pictures.h"
#include "ui/rules/WindowRules.h"
#include "ui/win32/Dpi.h"
#include "ui/win32/Drawing.h"

namespace quorvane {
std::ostream& operator<<(std::ostream& Out, const TRect& R) {
    return Out << "{" << R.Left << ", " << R.Top << ", " << R.Right << ", " << R.Bottom << "}";
}
}  // namespace quorvane

namespace quorvane::win32::testing {
namespace {

using quorvane::testing::FakeFile;
using quorvane::testing::Process;
using quorvane::testing::ProcessWithImage;
using quorvane::testing::Sys;

constexpr char kNotepad[] = "C:\\windows\\system32\\notepad.exe";
constexpr char kWinecfg[] = "C:\\windows\\system32\\winecfg.exe";

struct TMessage {
    std::string Text;
    std::string Caption;
    UINT Flags = 0;
};

std::string WindowText(HWND Window) {
    char Text[256] = {};
    ::GetWindowTextA(Window, Text, sizeof Text);
    return Text;
}

std::string ClassOf(HWND Window) {
    char Name[64] = {};
    ::GetClassNameA(Window, Name, sizeof Name);
    return Name;
}

// Rectangles as (left, top, width, height), so failures read like the window description.
struct TBox {
    int Left, Top, Width, Height;
    friend bool operator==(const TBox&, const TBox&) = default;
    friend std::ostream& operator<<(std::ostream& Out, const TBox& Box) {
        return Out << "(" << Box.Left << ", " << Box.Top << ", " << Box.Width << " x " << Box.Height << ")";
    }
};
TBox Box(const RECT& R) { return {R.left, R.top, R.right - R.left, R.bottom - R.top}; }

LOGFONTA FontOf(HFONT Font) {
    LOGFONTA Info{};
    ::GetObjectA(Font, sizeof Info, &Info);
    return Info;
}

std::string TempFolder() {
    char Path[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, Path);
    std::string Folder = std::string(Path) + "quorvane-window-test-" + std::to_string(::GetCurrentProcessId());
    ::CreateDirectoryA(Folder.c_str(), nullptr);
    return Folder;
}

// The text a tooltip tool shows now, read in UTF-16: Wine hands out no more
// than 80 bytes through the ANSI message.
std::wstring ToolTipText(TFrmMain& F, HWND Tool) {
    wchar_t Text[1024] = {};
    TTTOOLINFOW Info{};
    Info.cbSize = sizeof Info;
    Info.hwnd = F.Handle();
    Info.uId = reinterpret_cast<UINT_PTR>(Tool);
    Info.lpszText = Text;
    ::SendMessageW(F.ToolTips, TTM_GETTEXTW, std::size(Text), reinterpret_cast<LPARAM>(&Info));
    return Text;
}

// The mouse over a tree entry.
void Hover(TFrmMain& F, HTREEITEM Item) {
    ::SendMessageA(F.TreeView, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(Item));
    RECT Rect{};
    std::memcpy(&Rect, &Item, sizeof Item);  // TVM_GETITEMRECT takes the item in the rectangle it fills
    ::SendMessageA(F.TreeView, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&Rect));
    ::SendMessageA(F.TreeView, WM_MOUSEMOVE, 0, MAKELPARAM(Rect.left + 2, Rect.top + 2));
}

// Until the verdicts on the signatures of the last reload have arrived.
void WaitForSignatures(TFrmMain& F) {
    for (int Round = 0; Round < 3000 && F.AwaitingVerdicts(); ++Round)
        ::Sleep(10);
    PumpMessages();
}

std::string ReadFile(const std::string& Name) {
    std::ifstream File(Name, std::ios::binary);
    return {std::istreambuf_iterator<char>(File), std::istreambuf_iterator<char>()};
}

// Cancels the modal dialogs of this thread, as Escape would, while it lives:
// a timer of the thread looks for them in the dialog's own message loop.
class TDialogCanceller {
public:
    TDialogCanceller() : FTimer(::SetTimer(nullptr, 0, 50, Tick)) {}
    ~TDialogCanceller() { ::KillTimer(nullptr, FTimer); }
    TDialogCanceller(const TDialogCanceller&) = delete;
    TDialogCanceller& operator=(const TDialogCanceller&) = delete;

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        ::EnumThreadWindows(::GetCurrentThreadId(), Cancel, 0);
    }
    static BOOL CALLBACK Cancel(HWND Window, LPARAM) {
        if (ClassOf(Window) == "#32770" && ::IsWindowVisible(Window))
            ::PostMessageA(Window, WM_COMMAND, IDCANCEL, 0);
        return TRUE;
    }
    UINT_PTR FTimer;
};

class MainFrmTest : public ::testing::Test {
protected:
    void SetUp() override {
        Source.Processes = {
            Process("[System Process]", 0, 0, 2),
            Process("System", 4, 0, 90),
            ProcessWithImage("init", 1, 0, kNotepad, 512),
            ProcessWithImage("shell", 10, 1, kWinecfg, 0),
            ProcessWithImage("virus", 11, 10, "C:\\temp\\virus.exe"),
            Process("orphan", 20, 999),
        };
        Source.Processes[5].ImageRemark = "Zugriff verweigert";
        Api.Add(kNotepad, FakeFile("Maker", "Init", "1.0"));
        Api.Add(kWinecfg, FakeFile("", "Shell", "2.0"));
        Signatures->Enabled = false;  // the tests of the signatures enable it
    }
    void TearDown() override {
        FForm.reset();
        PumpMessages();
    }

    TFrmMainServices Services() {
        TFrmMainServices Services;
        Services.OpenUrl = [this](const std::string& Address) { Opened.push_back(Address); };
        Services.ShowMessage = [this](HWND Owner, const std::string& Text, const std::string& Caption, UINT Flags) {
            Messages.push_back({Text, Caption, Flags});
            if (RealDialogs)
                ::MessageBoxA(Owner, Text.c_str(), Caption.c_str(), Flags);
        };
        Services.QueryPlatformVersion = [this](TPlatformVersion& Version) {
            Version = Platform;
            return true;
        };
        Services.ProgramDirectory = "C:\\Programme\\Quorvane";
        Services.Dpi = Dpi;
        Services.Signatures = Signatures;
        return Services;
    }

    // A shown window: its first show has run.
    TFrmMain& Form() {
        if (!FForm) {
            FForm = std::make_unique<TFrmMain>(Source, Api, Services());
            FForm->Show();
            PumpMessages();
        }
        return *FForm;
    }

    HTREEITEM Item(const std::string& Name) {
        const std::vector<const TCatalogueNode*>& Order = Form().Catalogue().TreeOrder();
        for (std::size_t I = 0; I < Order.size(); ++I)
            if (Order[I]->Text == Name)
                return Form().ItemAt(I);
        ADD_FAILURE() << "no entry " << Name;
        return nullptr;
    }

    // The rectangle of an entry's text in the tree's client area.
    RECT EntryRect(const std::string& Name) {
        // TVM_GETITEMRECT takes the item in the rectangle it fills.
        RECT Rect{};
        const HTREEITEM Entry = Item(Name);
        std::memcpy(&Rect, &Entry, sizeof Entry);
        ::SendMessageA(Form().TreeView, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&Rect));
        return Rect;
    }

    void Select(const std::string& Name) {
        ::SendMessageA(Form().TreeView, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(Item(Name)));
    }

    // Gives the window and then Control the keyboard focus; false where the
    // display gives none.
    bool Focus(HWND Control) {
        ::SetForegroundWindow(Form().Handle());
        ::SetFocus(Control);
        PumpMessages();
        return ::GetFocus() == Control;
    }

    bool HintShown() { return Form().pnlHint.Visible(); }

    // A key pressed and released as the keyboard sends it, to the focus.
    static void PressKey(WORD Key) {
        INPUT Inputs[2] = {};
        Inputs[0].type = INPUT_KEYBOARD;
        Inputs[0].ki.wVk = Key;
        Inputs[1] = Inputs[0];
        Inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
        ::SendInput(2, Inputs, sizeof(INPUT));
        PumpMessages();
    }

    std::vector<std::string> Column(int Col) {
        std::vector<std::string> Texts;
        for (int Row = 0; Row < kSheetRows; ++Row)
            Texts.push_back(Form().StringGrid.Cells(Col, Row));
        return Texts;
    }

    // The character attributes of the memo at a character position.
    CHARFORMAT2A FormatAt(int Position) {
        const HWND Memo = Form().MemoHint.Handle();
        ::SendMessageA(Memo, EM_SETSEL, Position, Position + 1);
        CHARFORMAT2A Format{};
        Format.cbSize = sizeof Format;
        ::SendMessageA(Memo, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&Format));
        return Format;
    }
    // Position of the first character of memo line Line.
    int LineStart(int Line) {
        int Position = 0;
        const std::vector<std::string> Lines = Form().MemoHint.Lines();
        for (int I = 0; I < Line; ++I)
            Position += static_cast<int>(Lines[static_cast<std::size_t>(I)].size()) + 1;  // CR ends a paragraph
        return Position;
    }

    quorvane::testing::TFakeProcessSource Source;
    quorvane::testing::TFakeVersionApi Api;
    std::shared_ptr<quorvane::testing::FakeSignatureCheck> Signatures =
        std::make_shared<quorvane::testing::FakeSignatureCheck>();
    TPlatformVersion Platform{2, 5, 1};
    int Dpi = 96;
    bool RealDialogs = false;  // the system's message boxes, besides noting each message
    std::vector<std::string> Opened;
    std::vector<TMessage> Messages;
    std::unique_ptr<TFrmMain> FForm;
};

TEST_F(MainFrmTest, GeometryOfEveryComponentAtTheDesignResolution) {
    TFrmMain& F = Form();
    RECT Client{};
    ::GetClientRect(F.Handle(), &Client);
    POINT Origin{0, 0};
    ::ClientToScreen(F.Handle(), &Origin);
    EXPECT_EQ(Box(Client), (TBox{0, 0, 733, 630}));
    EXPECT_EQ(Origin.x, 462);
    EXPECT_EQ(Origin.y, 219);
    EXPECT_EQ(WindowText(F.Handle()), "Quorvane");
    const LONG_PTR Style = ::GetWindowLongPtrA(F.Handle(), GWL_STYLE);
    EXPECT_EQ(Style & (WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX),
              WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);

    EXPECT_EQ(Box(BoundsOf(F.pnlTool.Handle())), (TBox{0, 0, 733, 33}));
    EXPECT_EQ(Box(F.PaintBoxHeader.BoundsRect()), (TBox{0, 0, 733, 33}));
    EXPECT_EQ(Box(F.imgLogo.BoundsRect()), (TBox{601, 0, 132, 33}));
    EXPECT_EQ(Box(F.imgLogo.PictureRect()), (TBox{604, 0, 125, 32}));
    EXPECT_EQ(Box(BoundsOf(F.btnReload)), (TBox{8, 4, 113, 25}));
    EXPECT_EQ(Box(BoundsOf(F.btnReport)), (TBox{128, 4, 105, 25}));
    EXPECT_EQ(Box(BoundsOf(F.StatusBar.Handle())), (TBox{0, 611, 733, 19}));
    EXPECT_EQ(Box(BoundsOf(F.pnlMain.Handle())), (TBox{0, 33, 345, 578}));
    EXPECT_EQ(Box(BoundsOf(F.TreeView)), (TBox{5, 5, 335, 568}));
    EXPECT_EQ(Box(BoundsOf(F.Splitter1.Handle())), (TBox{345, 33, 3, 578}));
    EXPECT_EQ(Box(BoundsOf(F.pnlDetails.Handle())), (TBox{348, 33, 385, 578}));
    EXPECT_EQ(Box(BoundsOf(F.pnlTitle.Handle())), (TBox{5, 5, 375, 40}));
    EXPECT_EQ(Box(F.shpTitle.BoundsRect()), (TBox{3, 3, 369, 34}));
    EXPECT_EQ(Box(F.imgIcon.BoundsRect()), (TBox{4, 4, 32, 32}));
    EXPECT_EQ(Box(BoundsOf(F.StringGrid.Handle())), (TBox{5, 45, 375, 327}));
    EXPECT_EQ(Box(BoundsOf(F.pnlHint.Handle())), (TBox{5, 372, 375, 201}));
    EXPECT_EQ(Box(BoundsOf(F.MemoHint.Handle())), (TBox{7, 7, 361, 187}));

    // The component tree: who lies on whom.
    EXPECT_EQ(::GetParent(F.btnReload), F.pnlTool.Handle());
    EXPECT_EQ(::GetParent(F.TreeView), F.pnlMain.Handle());
    EXPECT_EQ(::GetParent(F.StringGrid.Handle()), F.pnlDetails.Handle());
    EXPECT_EQ(::GetParent(F.pnlHint.Handle()), F.pnlDetails.Handle());
    EXPECT_EQ(::GetParent(F.MemoHint.Handle()), F.pnlHint.Handle());
    // Class names compare without regard to case.
    EXPECT_EQ(::lstrcmpiA(ClassOf(F.TreeView).c_str(), WC_TREEVIEWA), 0);
    EXPECT_EQ(::lstrcmpiA(ClassOf(F.MemoHint.Handle()).c_str(), "RICHEDIT50W"), 0);
    EXPECT_EQ(::lstrcmpiA(ClassOf(F.StatusBar.Handle()).c_str(), STATUSCLASSNAMEA), 0);

    // Status panels 150 and 70 wide, the last one to the end; a size grip.
    EXPECT_EQ(Box(F.StatusBar.PanelRect(0)).Width, 150);
    EXPECT_EQ(F.StatusBar.PanelRect(1).right, 220);
    EXPECT_GT(F.StatusBar.PanelRect(2).right, 600);
    EXPECT_TRUE(::GetWindowLongPtrA(F.StatusBar.Handle(), GWL_STYLE) & SBARS_SIZEGRIP);

    // Fonts: the window's, the tree's (pnlMain's) and the title's.
    EXPECT_EQ(FontOf(F.Font()).lfHeight, -11);
    EXPECT_STREQ(FontOf(F.Font()).lfFaceName, "MS Sans Serif");
    EXPECT_EQ(FontOf(F.TreeFont()).lfHeight, -8);
    EXPECT_EQ(reinterpret_cast<HFONT>(::SendMessageA(F.TreeView, WM_GETFONT, 0, 0)), F.TreeFont());
    EXPECT_EQ(FontOf(F.TitleFont()).lfHeight, -16);
    EXPECT_EQ(FontOf(F.TitleFont()).lfWeight, FW_BOLD);
    EXPECT_STREQ(FontOf(F.TitleFont()).lfFaceName, "Arial");

    // The tree and the grid as described.
    EXPECT_EQ(::SendMessageA(F.TreeView, TVM_GETINDENT, 0, 0), 25);
    EXPECT_EQ(static_cast<COLORREF>(::SendMessageA(F.TreeView, TVM_GETBKCOLOR, 0, 0)), ::GetSysColor(COLOR_BTNFACE));
    const LONG_PTR TreeStyle = ::GetWindowLongPtrA(F.TreeView, GWL_STYLE);
    EXPECT_EQ(TreeStyle & (TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS),
              TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT);
    EXPECT_EQ(F.StringGrid.ColCount(), 2);
    EXPECT_EQ(F.StringGrid.RowCount(), 15);
    EXPECT_EQ(F.StringGrid.DefaultRowHeight(), 20);
    EXPECT_EQ(F.StringGrid.GridLineWidth(), 1);
    EXPECT_FALSE(F.StringGrid.VerticalScrollBar()) << "the cells fit";
    EXPECT_FALSE(F.StringGrid.HorizontalScrollBar());
    EXPECT_EQ(F.ImageList.Width(), 16);
    EXPECT_EQ(F.ImageListLarge.Width(), 32);
    EXPECT_EQ(F.SaveDialog.Filter, "Text (*.txt)|*.txt");
}

TEST_F(MainFrmTest, FirstShowWritesPanelsCaptionsLabelsAndKeepsTheFocusOrder) {
    TFrmMain& F = Form();
    EXPECT_EQ(WindowText(F.btnReload), "Aktualisieren");
    EXPECT_EQ(WindowText(F.btnReport), "Report speichern");
    const TSheetTexts Labels = RowLabels();
    EXPECT_EQ(Column(0), std::vector<std::string>(Labels.begin(), Labels.end()));
    EXPECT_EQ(F.StringGrid.Cells(0, 9), "Laufzeit (Kern)");
    EXPECT_EQ(Column(1), std::vector<std::string>(kSheetRows)) << "no values before a selection";
    EXPECT_EQ(F.StatusBar.PanelText(0), "6 Prozesse geladen ");
    EXPECT_EQ(F.StatusBar.PanelText(1), "Win XP");
    EXPECT_EQ(F.StatusBar.PanelText(2), "");
    char Shown[64] = {};
    ::SendMessageA(F.StatusBar.Handle(), SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(Shown));
    EXPECT_STREQ(Shown, "\t\t6 Prozesse geladen ") << "right-justified";
    EXPECT_TRUE(HintShown());

    const std::vector<HWND> Chain = {F.btnReload, F.btnReport, F.StringGrid.Handle(), F.MemoHint.Handle(), F.TreeView};
    for (std::size_t I = 0; I < Chain.size(); ++I)
        EXPECT_EQ(::GetNextDlgTabItem(F.Handle(), Chain[I], FALSE), Chain[(I + 1) % Chain.size()]) << I;

    // A failed privilege step shows in panel 2 until a reload succeeds.
    Source.PrivilegeStatus = "OPENPROCESSTOKEN=5";
    Source.Processes.clear();
    F.btnReloadClick();
    EXPECT_EQ(F.StatusBar.PanelText(0), "0 Prozesse geladen ");
    EXPECT_EQ(F.StatusBar.PanelText(2), "OPENPROCESSTOKEN=5");
    EXPECT_EQ(::SendMessageA(F.TreeView, TVM_GETCOUNT, 0, 0), 0);
    Source.PrivilegeStatus.clear();
    ::SendMessageA(F.btnReload, BM_CLICK, 0, 0);
    EXPECT_EQ(F.StatusBar.PanelText(2), "");
}

TEST_F(MainFrmTest, PlatformCheckNamesTheVersionOrRefusesAndCloses) {
    Platform = {2, 4, 0};
    EXPECT_EQ(Form().StatusBar.PanelText(1), "NT4");
    FForm.reset();
    Platform = {2, 10, 0};
    EXPECT_EQ(Form().StatusBar.PanelText(1), "") << "an NT version without a name is accepted";
    EXPECT_TRUE(Messages.empty());
    FForm.reset();

    Platform = {1, 4, 10};
    Opened.clear();
    Source.ImageQueries.clear();
    Form();
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Text, "Program requires WinNT 4.0 or higher");
    EXPECT_EQ(Messages[0].Caption, "Quorvane");
    EXPECT_EQ(Messages[0].Flags, static_cast<UINT>(MB_OK)) << "no icon";
    EXPECT_EQ(Form().Handle(), nullptr) << "closed";
    EXPECT_EQ(Opened, std::vector<std::string>{"file:\\\\C:\\Programme\\Quorvane\\Quorvane.htm"});
    EXPECT_TRUE(Source.ImageQueries.empty()) << "no reload";
}

TEST_F(MainFrmTest, TreeInTreeOrderFullyExpandedWithItsImages) {
    TFrmMain& F = Form();
    const auto Next = [&](HTREEITEM Item, UINT Code) {
        return reinterpret_cast<HTREEITEM>(
            ::SendMessageA(F.TreeView, TVM_GETNEXTITEM, Code, reinterpret_cast<LPARAM>(Item)));
    };
    const auto Text = [&](HTREEITEM Item) {
        char Buffer[64] = {};
        TVITEMA Entry{};
        Entry.mask = TVIF_TEXT;
        Entry.hItem = Item;
        Entry.pszText = Buffer;
        Entry.cchTextMax = sizeof Buffer;
        ::SendMessageA(F.TreeView, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&Entry));
        return std::string(Buffer);
    };
    const HTREEITEM Idle = Next(nullptr, TVGN_ROOT);
    EXPECT_EQ(Text(Idle), "[System Process]");
    EXPECT_EQ(Text(Next(Idle, TVGN_NEXT)), "orphan") << "a parent that does not run: top level";
    EXPECT_EQ(Next(Next(Idle, TVGN_NEXT), TVGN_NEXT), nullptr);
    EXPECT_EQ(Text(Next(Idle, TVGN_CHILD)), "System");
    const HTREEITEM Init = Next(Next(Idle, TVGN_CHILD), TVGN_NEXT);
    EXPECT_EQ(Text(Init), "init");
    EXPECT_EQ(Text(Next(Next(Init, TVGN_CHILD), TVGN_CHILD)), "virus");
    for (const char* Name : {"[System Process]", "init", "shell"})
        EXPECT_TRUE(::SendMessageA(F.TreeView, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(Item(Name)), TVIS_EXPANDED))
            << Name;
    EXPECT_EQ(::SendMessageA(F.TreeView, TVM_GETCOUNT, 0, 0), 6);
    for (std::size_t I = 0; I < F.Catalogue().Count(); ++I) {
        const TCatalogueNode* Node = F.NodeOf(F.ItemAt(I));
        ASSERT_EQ(Node, F.Catalogue().TreeOrder()[I]);
        TVITEMA Entry{};
        Entry.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
        Entry.hItem = F.ItemAt(I);
        ::SendMessageA(F.TreeView, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&Entry));
        EXPECT_EQ(Entry.iImage, Node->ImageIndex) << Node->Text;
        EXPECT_EQ(Entry.iSelectedImage, Node->ImageIndex) << Node->Text;
    }
    EXPECT_EQ(F.NodeOf(Item("System"))->ImageIndex, 1);
    EXPECT_EQ(F.NodeOf(Item("orphan"))->ImageIndex, 0);
    EXPECT_GE(F.NodeOf(Item("init"))->ImageIndex, 2) << "notepad's own icon";
}

TEST_F(MainFrmTest, TreeColoursByLevelAndTheSelectedEntryRule) {
    TFrmMain& F = Form();
    const auto TextRect = [&](const char* Name) { return EntryRect(Name); };
    const COLORREF WindowText = ::GetSysColor(COLOR_WINDOWTEXT);
    const COLORREF Window = ::GetSysColor(COLOR_WINDOW);
    const COLORREF Highlight = ::GetSysColor(COLOR_HIGHLIGHT);
    // Glyphs without smoothed edges, so that text pixels carry the text colour itself.
    const TFontHandle Sharp(::CreateFontA(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                                          DEFAULT_PITCH | FF_SWISS, "MS Sans Serif"));
    ::SendMessageA(F.TreeView, WM_SETFONT, reinterpret_cast<WPARAM>(Sharp.Get()), TRUE);
    {
        const TRendering Tree(F.TreeView);
        EXPECT_GT(Tree.Count(TextRect("init"), RGB(0, 128, 0)), 0) << "level 3";
        EXPECT_GT(Tree.Count(TextRect("shell"), RGB(240, 208, 0)), 0) << "level 2";
        EXPECT_GT(Tree.Count(TextRect("virus"), RGB(240, 0, 0)), 0) << "level 1";
        EXPECT_GT(Tree.Count(TextRect("orphan"), WindowText), 0) << "level 0";
        EXPECT_GT(Tree.Count(TextRect("System"), WindowText), 0) << "level 4";
        EXPECT_EQ(Tree.Count(TextRect("init"), WindowText), 0);
        EXPECT_EQ(Tree.Count(TextRect("init"), RGB(240, 0, 0)), 0);
    }
    if (!Focus(F.TreeView))
        GTEST_SKIP() << "the display gives no keyboard focus";
    Select("orphan");
    {
        const TRendering Tree(F.TreeView);
        EXPECT_GT(Tree.Count(TextRect("orphan"), Highlight), 0) << "highlight while focused";
        EXPECT_GT(Tree.Count(TextRect("orphan"), Window), 0) << "level 0 selected: window colour";
        EXPECT_EQ(Tree.Count(TextRect("orphan"), WindowText), 0);
    }
    Select("System");
    EXPECT_GT(TRendering(F.TreeView).Count(TextRect("System"), Window), 0) << "level 4 selected";
    Select("init");
    {
        const TRendering Tree(F.TreeView);
        EXPECT_GT(Tree.Count(TextRect("init"), Highlight), 0);
        EXPECT_GT(Tree.Count(TextRect("init"), RGB(0, 128, 0)), 0) << "level 3 keeps its colour";
    }
    Select("orphan");
    ASSERT_TRUE(Focus(F.btnReload));
    {
        const TRendering Tree(F.TreeView);
        EXPECT_EQ(Tree.Count(TextRect("orphan"), Highlight), 0) << "no highlight without focus";
        EXPECT_GT(Tree.Count(TextRect("orphan"), WindowText), 0);
    }
    ::SendMessageA(F.TreeView, WM_SETFONT, reinterpret_cast<WPARAM>(F.TreeFont()), FALSE);
}

TEST_F(MainFrmTest, EditingATreeEntryIsRefused) {
    TFrmMain& F = Form();
    ASSERT_TRUE(::GetWindowLongPtrA(F.TreeView, GWL_STYLE) & TVS_EDITLABELS) << "requests reach the handler";
    EXPECT_EQ(::SendMessageA(F.TreeView, TVM_EDITLABELA, 0, reinterpret_cast<LPARAM>(Item("init"))), 0);
    EXPECT_EQ(::SendMessageA(F.TreeView, TVM_GETEDITCONTROL, 0, 0), 0);
    bool AllowEdit = true;
    F.TreeViewEditing(F.NodeOf(Item("init")), AllowEdit);
    EXPECT_FALSE(AllowEdit);
}

TEST_F(MainFrmTest, SelectionFillsTitleIconAndValuesAndHidesTheHelp) {
    TFrmMain& F = Form();
    ASSERT_TRUE(HintShown());
    Select("shell");
    EXPECT_FALSE(HintShown()) << "hidden even while the intro text is shown";
    const std::vector<std::string> Expected = {"", "Shell", "2.0", "Deutsch (Deutschland)", "C:\\windows\\system32\\",
                                               "10", "init", "07.12.2026 10:00:00", "00:00:02.500", "00:00:01.000",
                                               "1", "Normal", "", Sys("Keine Hersteller-Informationen vorhanden"),
                                               Sys("Mittel gefährlich")};
    EXPECT_EQ(Column(1), Expected);
    EXPECT_EQ(F.lblTitle.Caption(), "shell");
    EXPECT_EQ(F.shpTitle.BrushColor(), RGB(255, 255, 224));
    // The grid reaches down to the panel's inner bottom edge.
    EXPECT_EQ(BoundsOf(F.StringGrid.Handle()).bottom, F.pnlDetails.InnerRect().bottom);

    Select("init");
    EXPECT_EQ(F.StringGrid.Cells(1, 0), "Maker");
    EXPECT_EQ(F.StringGrid.Cells(1, 5), "1");
    EXPECT_EQ(F.StringGrid.Cells(1, 6), "[System Process]");
    EXPECT_EQ(F.StringGrid.Cells(1, 12), "512 bytes");
    EXPECT_EQ(F.shpTitle.BrushColor(), RGB(232, 255, 232));
    const TPoint At = TitleLabelPosition(375, 40, F.lblTitle.Width(), F.lblTitle.Height(), 4, 32);
    EXPECT_EQ(F.lblTitle.Left(), At.X);
    EXPECT_EQ(F.lblTitle.Top(), At.Y);

    // The title shows the large icon on the title colour: where the list's
    // image leaves its 32 x 32 square empty (the colour of its bottom-left
    // pixel), the title colour shows.
    const int Index = F.NodeOf(Item("init"))->ImageIndex;
    const TCanvas Icon(32, 32, RGB(255, 255, 255));
    F.ImageListLarge.Draw(Icon.Dc(), 0, 0, Index);
    const COLORREF Key = Icon.At(0, 31);
    const TRendering Title(F.pnlTitle.Handle());
    int Shown = 0;
    for (int Y = 0; Y < 32; ++Y)
        for (int X = 0; X < 32; ++X) {
            const COLORREF Drawn = Title.At(4 + X, 4 + Y);
            if (Icon.At(X, Y) == Key) {
                EXPECT_EQ(Drawn, RGB(232, 255, 232)) << X << "," << Y;
            } else {
                EXPECT_EQ(Drawn, Icon.At(X, Y)) << X << "," << Y;
                ++Shown;
            }
        }
    EXPECT_GT(Shown, 100) << "the icon itself is drawn";
    EXPECT_EQ(Title.At(370, 36), RGB(232, 255, 232)) << "the shape fills the inner area";

    Select("orphan");
    EXPECT_EQ(F.StringGrid.Cells(1, 6), "") << "top level: no starting process";
    EXPECT_EQ(F.StringGrid.Cells(1, 13), "Zugriff verweigert");
    EXPECT_EQ(F.StringGrid.Cells(1, 0), "") << "nothing of the previous process remains";
    EXPECT_EQ(F.shpTitle.BrushColor(), RGB(255, 255, 255));

    // A reload keeps what the sheet shows and reports no selection change.
    F.btnReloadClick();
    EXPECT_EQ(F.lblTitle.Caption(), "orphan");
    EXPECT_EQ(F.StringGrid.Cells(1, 13), "Zugriff verweigert");
    EXPECT_EQ(::SendMessageA(F.TreeView, TVM_GETNEXTITEM, TVGN_CARET, 0), 0);
}

TEST_F(MainFrmTest, TheExplanationIsTheTooltipOfEachEntryAndOfTheTitle) {
    TFrmMain& F = Form();
    const auto TipOf = [&](HWND Tool) { return ToolTipText(F, Tool); };
    const auto Hover = [&](const std::string& Name) {
        const RECT Entry = EntryRect(Name);
        ::SendMessageA(F.TreeView, WM_MOUSEMOVE, 0, MAKELPARAM(Entry.left + 2, Entry.top + 2));
    };
    const std::string InitText = Sys("Versionsressource der Programmdatei: der Hersteller ist angegeben.");
    ASSERT_EQ(F.NodeOf(Item("init"))->Data()->Explanation, InitText);
    const std::string OrphanText = F.NodeOf(Item("orphan"))->Data()->Explanation;
    EXPECT_NE(OrphanText.find("Zugriff verweigert"), std::string::npos) << OrphanText;
    EXPECT_GT(OrphanText.size(), 80u) << "longer than an ANSI tooltip text";
    const std::wstring Init = WideFromAnsi(InitText);
    const std::wstring Orphan = WideFromAnsi(OrphanText);
    EXPECT_EQ(TipOf(F.TreeView), L"") << "the mouse over no entry";
    EXPECT_EQ(TipOf(F.pnlTitle.Handle()), L"") << "no process selected";

    Hover("init");
    EXPECT_EQ(TipOf(F.TreeView), Init);
    Hover("orphan");
    EXPECT_EQ(TipOf(F.TreeView), Orphan) << "the entry under the mouse, not the first one";
    const RECT Last = EntryRect("orphan");
    ::SendMessageA(F.TreeView, WM_MOUSEMOVE, 0, MAKELPARAM(Last.left + 2, Last.bottom + 40));
    EXPECT_EQ(TipOf(F.TreeView), L"") << "below the last entry";

    Select("init");
    EXPECT_EQ(TipOf(F.pnlTitle.Handle()), Init);
    Select("orphan");
    EXPECT_EQ(TipOf(F.pnlTitle.Handle()), Orphan);

    // A reload drops the entries: nothing of them is asked for afterwards.
    Hover("init");
    F.btnReloadClick();
    EXPECT_EQ(TipOf(F.TreeView), L"");
    EXPECT_EQ(TipOf(F.pnlTitle.Handle()), Orphan) << "the title keeps what it shows";
}

TEST_F(MainFrmTest, RowSelectionWritesTheFieldHelpAndShowsThePanel) {
    TFrmMain& F = Form();
    F.StringGrid.ClickCell(1, 9);
    EXPECT_TRUE(HintShown());
    std::vector<std::string> Lines = F.MemoHint.Lines();
    ASSERT_EQ(Lines.size(), 3u);
    EXPECT_EQ(Lines[0], "Laufzeit (Kern)");
    EXPECT_EQ(Lines[1], "");
    EXPECT_EQ(Lines[2], RowHelp(9));
    EXPECT_TRUE(FormatAt(LineStart(0)).dwEffects & CFE_BOLD);
    EXPECT_FALSE(FormatAt(LineStart(2)).dwEffects & CFE_BOLD);
    EXPECT_EQ(F.StringGrid.Row(), 9);
    EXPECT_EQ(Column(1), std::vector<std::string>(kSheetRows)) << "no process selected: no values";

    F.StringGrid.ClickCell(0, 13);
    EXPECT_EQ(F.MemoHint.Line(0), "Hinweis");
    EXPECT_EQ(F.MemoHint.Lines().size(), 5u) << "the help's own line breaks become lines";

    // The row already selected, after a tree selection hid the panel.
    Select("init");
    ASSERT_FALSE(HintShown());
    F.MemoHint.Clear();
    F.StringGrid.ClickCell(0, 13);
    EXPECT_TRUE(HintShown());
    EXPECT_EQ(F.MemoHint.Line(0), "Hinweis");
    EXPECT_EQ(BoundsOf(F.StringGrid.Handle()).bottom, BoundsOf(F.pnlHint.Handle()).top);

    // Keyboard moves select their row and show its help.
    ::SendMessageA(F.StringGrid.Handle(), WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(F.StringGrid.Row(), 12);
    EXPECT_EQ(F.MemoHint.Line(0), Sys("Grösse"));
    ::SendMessageA(F.StringGrid.Handle(), WM_KEYDOWN, VK_HOME, 0);
    EXPECT_EQ(F.MemoHint.Line(0), "Hersteller");

    // A click where the user clicks: on the cell of row 4, column 1.
    const RECT Cell = F.StringGrid.CellRect(1, 4);
    ::SendMessageA(F.StringGrid.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(Cell.left + 5, Cell.top + 5));
    EXPECT_EQ(F.StringGrid.Row(), 4);
    EXPECT_EQ(F.MemoHint.Line(0), "Pfad");
}

TEST_F(MainFrmTest, IntroTextWithItsAttributesAndTheWebLink) {
    TFrmMain& F = Form();
    const std::vector<std::string> Expected = AppendedLines(IntroText());
    EXPECT_EQ(F.MemoHint.Lines(), Expected);
    const auto Bars = [&] { return ::GetWindowLongPtrA(F.MemoHint.Handle(), GWL_STYLE) & (WS_VSCROLL | WS_HSCROLL); };
    EXPECT_EQ(Bars(), 0) << "the intro fits: no scroll bar";
    EXPECT_EQ(F.MemoHint.Line(0), "Hier erhalten sie weitere Informationen.");
    const CHARFORMAT2A Heading = FormatAt(LineStart(0));
    EXPECT_TRUE(Heading.dwEffects & CFE_BOLD);
    const CHARFORMAT2A Body = FormatAt(LineStart(2));
    EXPECT_FALSE(Body.dwEffects & (CFE_BOLD | CFE_UNDERLINE));
    const CHARFORMAT2A Link = FormatAt(LineStart(5));
    EXPECT_EQ(F.MemoHint.Line(5), ProductPageAddress());
    EXPECT_EQ(Link.dwEffects & (CFE_BOLD | CFE_UNDERLINE), static_cast<DWORD>(CFE_BOLD | CFE_UNDERLINE));
    EXPECT_EQ(Link.crTextColor, RGB(0, 0, 255));

    // Any mouse button released over the memo opens the page while the intro shows.
    ::SendMessageA(F.MemoHint.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    ::SendMessageA(F.MemoHint.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    ::SendMessageA(F.MemoHint.Handle(), WM_RBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_EQ(Opened, (std::vector<std::string>{ProductPageAddress(), ProductPageAddress()}));

    F.StringGrid.ClickCell(0, 0);
    ::SendMessageA(F.MemoHint.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_EQ(Opened.size(), 2u) << "field help shown: the memo opens nothing";

    // The longest help needs the vertical bar, shown from its first line; never a horizontal one.
    F.StringGrid.ClickCell(0, 14);
    EXPECT_EQ(Bars(), WS_VSCROLL);
    EXPECT_EQ(::SendMessageA(F.MemoHint.Handle(), EM_GETFIRSTVISIBLELINE, 0, 0), 0);
}

TEST_F(MainFrmTest, ReportThroughTheChosenName) {
    TFrmMain& F = Form();
    const std::string Folder = TempFolder();
    std::vector<std::string> Filters;
    std::vector<DWORD> Flags;
    std::string Chosen = Folder + "\\report";
    F.SaveDialog.Run = [&](OPENFILENAMEA& Dialog) {
        Filters.emplace_back(Dialog.lpstrFilter, 20);
        Flags.push_back(Dialog.Flags);
        lstrcpynA(Dialog.lpstrFile, Chosen.c_str(), static_cast<int>(Dialog.nMaxFile));
        return true;
    };
    F.StringGrid.ClickCell(0, 0);
    ASSERT_TRUE(HintShown());
    ::SendMessageA(F.btnReport, BM_CLICK, 0, 0);
    ASSERT_EQ(Filters.size(), 1u);
    EXPECT_EQ(Filters[0], std::string("Text (*.txt)\0*.txt\0\0", 20));
    EXPECT_FALSE(Flags[0] & OFN_OVERWRITEPROMPT) << "an existing file is replaced without a question";
    const std::string Written = ReadFile(Chosen + ".txt");
    EXPECT_EQ(Written.rfind(LoadStr(TStringId::sReportHeader), 0), 0u) << "\".txt\" appended";
    EXPECT_EQ(std::count(Written.begin(), Written.end(), '\n'), 7);
    EXPECT_FALSE(HintShown());
    EXPECT_TRUE(Messages.empty());

    // Another extension stays; an existing file is replaced.
    Chosen = Folder + "\\report.csv";
    { std::ofstream(Chosen) << "old"; }
    F.btnReportClick();
    EXPECT_EQ(ReadFile(Chosen).rfind("Name\tPfad\t", 0), 0u);

    // Cancelled: nothing is written.
    ::DeleteFileA((Folder + "\\report.txt").c_str());
    F.SaveDialog.Run = [](OPENFILENAMEA&) { return false; };
    F.btnReportClick();
    EXPECT_EQ(::GetFileAttributesA((Folder + "\\report.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    ::DeleteFileA(Chosen.c_str());
    ::RemoveDirectoryA(Folder.c_str());
}

TEST_F(MainFrmTest, AReportThatCannotBeWrittenShowsTheErrorUnderTheTitle) {
    TFrmMain& F = Form();
    const std::string Chosen = TempFolder() + "\\missing\\report.txt";
    F.SaveDialog.Run = [&](OPENFILENAMEA& Dialog) {
        lstrcpynA(Dialog.lpstrFile, Chosen.c_str(), static_cast<int>(Dialog.nMaxFile));
        return true;
    };
    F.btnReportClick();
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Caption, "Quorvane");
    EXPECT_EQ(Messages[0].Flags, static_cast<UINT>(MB_OK | MB_ICONERROR));
    EXPECT_NE(Messages[0].Text.find("\"" + Chosen + "\""), std::string::npos) << Messages[0].Text;
    EXPECT_NE(Messages[0].Text.find("kann nicht erstellt werden"), std::string::npos);
    EXPECT_EQ(::SendMessageA(F.TreeView, TVM_GETCOUNT, 0, 0), 6) << "the catalogue is unaffected";
    ::RemoveDirectoryA(TempFolder().c_str());
}

TEST_F(MainFrmTest, AboutEntryOfTheSystemMenu) {
    TFrmMain& F = Form();
    const HMENU Menu = ::GetSystemMenu(F.Handle(), FALSE);
    const int Last = ::GetMenuItemCount(Menu) - 1;
    EXPECT_EQ(::GetMenuItemID(Menu, Last), 0xF200u);
    char Text[64] = {};
    ::GetMenuStringA(Menu, static_cast<UINT>(Last), Text, sizeof Text, MF_BYPOSITION);
    EXPECT_EQ(Text, Sys("Info über Quorvane"));

    ::SendMessageA(F.Handle(), WM_SYSCOMMAND, 0xF201, 0);
    EXPECT_TRUE(Messages.empty()) << "only the exact command shows the box";
    ::SendMessageA(F.Handle(), WM_SYSCOMMAND, 0xF200, 0);
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Caption, "Informationen");
    EXPECT_EQ(Messages[0].Flags, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
    EXPECT_NE(Messages[0].Text.find("info@quorvane.example"), std::string::npos);

    // Other commands keep their default handling.
    ::SendMessageA(F.Handle(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    EXPECT_TRUE(::IsZoomed(F.Handle()));
    ::SendMessageA(F.Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(::IsZoomed(F.Handle()));
    EXPECT_EQ(Messages.size(), 1u);
}

TEST_F(MainFrmTest, ClosingOpensTheExitPage) {
    TFrmMain& F = Form();
    EXPECT_TRUE(Opened.empty());
    ::SendMessageA(F.Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(Opened, std::vector<std::string>{"file:\\\\C:\\Programme\\Quorvane\\Quorvane.htm"});
    EXPECT_EQ(F.Handle(), nullptr);
}

TEST_F(MainFrmTest, HeaderGradientMatchesTheFormulaInEveryColumn) {
    TFrmMain& F = Form();
    const TRendering Tool(F.pnlTool.Handle());
    ASSERT_EQ(Tool.Width(), 733);
    ASSERT_EQ(Tool.Height(), 33);
    const TPicture Logo = LogoPicture();
    const RECT LogoRect = F.imgLogo.PictureRect();
    int Lettering = 0;
    for (int X = 0; X < Tool.Width(); ++X) {
        const int Gray = GradientGrayAtColumn(X, 733);
        for (int Y = 0; Y < Tool.Height(); ++Y) {
            const POINT P{X, Y};
            if (::PtInRect(&LogoRect, P) && Logo.At(X - LogoRect.left, Y - LogoRect.top) != kLogoGround) {
                const std::uint32_t Ink = Logo.At(X - LogoRect.left, Y - LogoRect.top);
                ASSERT_EQ(Tool.At(X, Y), RGB(Ink >> 16 & 0xFF, Ink >> 8 & 0xFF, Ink & 0xFF)) << X << "," << Y;
                ++Lettering;
            } else {
                ASSERT_EQ(Tool.At(X, Y), RGB(Gray, Gray, Gray)) << "column " << X << ", row " << Y;
            }
        }
    }
    EXPECT_GT(Lettering, 300) << "the logo's lettering shows over the gradient";
    EXPECT_EQ(Tool.At(0, 0), RGB(192, 192, 192)) << "733 leaves remainder 1";
    EXPECT_EQ(Tool.At(732, 0), RGB(128, 128, 128));
}

TEST_F(MainFrmTest, ResizeRulesAtTheirEdges) {
    TFrmMain& F = Form();
    // A toolbar 1 pixel wide: one column of gray 192, the logo far to the left.
    ::SetWindowPos(F.pnlTool.Handle(), nullptr, 0, 0, 1, 33, SWP_NOZORDER | SWP_NOMOVE);
    EXPECT_EQ(F.imgLogo.Left(), -131);
    EXPECT_EQ(TRendering(F.pnlTool.Handle()).At(0, 0), RGB(192, 192, 192));
    ::SetWindowPos(F.pnlTool.Handle(), nullptr, 0, 0, 132, 30, SWP_NOZORDER | SWP_NOMOVE);
    EXPECT_EQ(F.imgLogo.Left(), 0);
    EXPECT_EQ(F.imgLogo.Top(), -1) << "(30 - 33) / 2 truncates toward zero";
    ::SetWindowPos(F.pnlTool.Handle(), nullptr, 0, 0, 64, 33, SWP_NOZORDER | SWP_NOMOVE);
    EXPECT_EQ(TRendering(F.pnlTool.Handle()).At(63, 20), RGB(129, 129, 129)) << "t = 1 already in the last column";

    // A title wider than its panel: the negative half-difference truncates toward zero.
    F.lblTitle.SetCaption(std::string(60, 'W'));
    const int Difference = 375 - F.lblTitle.Width() - 36;
    F.pnlTitleResize();
    EXPECT_EQ(F.lblTitle.Left(), Difference / 2 + 28);
    EXPECT_LT(Difference, 0);

    // The grid's columns fill its client width; hiding the help keeps them.
    TStringGrid& Grid = F.StringGrid;
    EXPECT_EQ(Grid.ColWidths(0) + Grid.ColWidths(1) + 2, Grid.ClientWidth());
    SIZE Widest{};
    {
        const TWindowDc Dc(Grid.Handle());
        const TSelection Font(Dc.Get(), Grid.Font());
        ::GetTextExtentPoint32A(Dc.Get(), "Anzahl Threads", 14, &Widest);
    }
    EXPECT_EQ(Grid.ColWidths(0), Widest.cx + 10);
    const int Value = Grid.ColWidths(1);
    Select("init");
    EXPECT_EQ(Grid.ColWidths(1), Value);
}

TEST_F(MainFrmTest, WindowResizeAndSplitterRealignEverything) {
    TFrmMain& F = Form();
    RECT Window{};
    ::GetWindowRect(F.Handle(), &Window);
    ::SetWindowPos(F.Handle(), nullptr, 0, 0, Window.right - Window.left + 100, Window.bottom - Window.top + 50,
                   SWP_NOZORDER | SWP_NOMOVE);
    EXPECT_EQ(Box(BoundsOf(F.pnlTool.Handle())), (TBox{0, 0, 833, 33}));
    EXPECT_EQ(F.imgLogo.Left(), 701) << "the logo stays at the right end";
    EXPECT_EQ(Box(BoundsOf(F.StatusBar.Handle())), (TBox{0, 661, 833, 19}));
    EXPECT_EQ(Box(BoundsOf(F.pnlMain.Handle())), (TBox{0, 33, 345, 628}));
    EXPECT_EQ(Box(BoundsOf(F.pnlDetails.Handle())), (TBox{348, 33, 485, 628}));
    EXPECT_EQ(F.StringGrid.ColWidths(0) + F.StringGrid.ColWidths(1) + 2, 475) << "columns follow the new width";

    // Dragging the splitter moves the border between the panels, within their minimum widths.
    const HWND Bar = F.Splitter1.Handle();
    ::SendMessageA(Bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 100));
    ::SendMessageA(Bar, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(51, 100));
    EXPECT_EQ(F.MainWidth(), 395);
    EXPECT_EQ(Box(BoundsOf(Bar)), (TBox{395, 33, 3, 628}));
    EXPECT_EQ(BoundsOf(F.pnlDetails.Handle()).left, 398);
    ::SendMessageA(Bar, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(1000, 100));
    EXPECT_EQ(F.MainWidth(), 833 - 3 - 250);
    ::SendMessageA(Bar, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-1000, 100));
    EXPECT_EQ(F.MainWidth(), 150);
    ::SendMessageA(Bar, WM_LBUTTONUP, 0, MAKELPARAM(0, 100));
    EXPECT_NE(::GetCapture(), Bar);

    MINMAXINFO Limits{};
    ::SendMessageA(F.Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&Limits));
    const RECT Smallest =
        OuterRectForClient({0, 0, 403, 402}, static_cast<DWORD>(::GetWindowLongPtrA(F.Handle(), GWL_STYLE)), 0, 96);
    EXPECT_EQ(Limits.ptMinTrackSize.x, Smallest.right - Smallest.left);
    EXPECT_EQ(Limits.ptMinTrackSize.y, Smallest.bottom - Smallest.top);
}

TEST_F(MainFrmTest, CellColoursWithAndWithoutFocus) {
    TFrmMain& F = Form();
    Select("init");
    F.StringGrid.ClickCell(1, 3);
    if (::GetFocus() != F.StringGrid.Handle())
        GTEST_SKIP() << "the display gives no keyboard focus";
    const auto Inside = [&](int Col, int Row) {
        const RECT Cell = F.StringGrid.CellRect(Col, Row);
        return POINT{Cell.right - 3, Cell.bottom - 3};  // away from the text and the focus outline
    };
    {
        const TRendering Grid(F.StringGrid.Handle());
        EXPECT_EQ(Grid.At(Inside(0, 3).x, Inside(0, 3).y), ::GetSysColor(COLOR_HIGHLIGHT)) << "the focused cell";
        EXPECT_EQ(Grid.At(Inside(1, 3).x, Inside(1, 3).y), ::GetSysColor(COLOR_WINDOW))
            << "selected alone changes nothing";
        EXPECT_EQ(Grid.At(Inside(0, 4).x, Inside(0, 4).y), ::GetSysColor(COLOR_BTNFACE));
        EXPECT_EQ(Grid.At(Inside(1, 4).x, Inside(1, 4).y), ::GetSysColor(COLOR_WINDOW));
        const RECT Label = F.StringGrid.CellRect(0, 3);
        EXPECT_GT(Grid.Count(Label, ::GetSysColor(COLOR_HIGHLIGHTTEXT)), 0) << "the label in highlight text";
    }
    ASSERT_TRUE(Focus(F.TreeView));
    const TRendering Grid(F.StringGrid.Handle());
    EXPECT_EQ(Grid.At(Inside(0, 3).x, Inside(0, 3).y), ::GetSysColor(COLOR_BTNFACE)) << "no row marked";
    for (int Row = 0; Row < kSheetRows; ++Row)
        EXPECT_EQ(Grid.Count(F.StringGrid.CellRect(0, Row), ::GetSysColor(COLOR_HIGHLIGHT)), 0) << Row;
}

TEST_F(MainFrmTest, ImageListsStayAlignedAndObjectCountsFlatOverReloads) {
    TFrmMain& F = Form();
    // The two motifs, then notepad's and winecfg's icons; no icon for a missing file.
    EXPECT_EQ(F.ImageList.Count(), 4);
    EXPECT_EQ(F.ImageListLarge.Count(), 4);
    int Width = 0, Height = 0;
    ::ImageList_GetIconSize(F.ImageListLarge.Handle(), &Width, &Height);
    EXPECT_EQ(Width, 32);
    EXPECT_EQ(F.NodeOf(Item("virus"))->ImageIndex, 0);

    Select("init");
    F.btnReloadClick();
    const DWORD Gdi = GdiObjectCount();
    const DWORD User = UserObjectCount();
    ASSERT_GT(Gdi, 0u);
    ASSERT_GT(User, 0u);
    for (int I = 0; I < 100; ++I) {
        F.btnReloadClick();
        if (I % 10 == 0) {
            Select("init");
            F.StringGrid.ClickCell(0, I % kSheetRows);
            ::RedrawWindow(F.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        }
    }
    F.btnReloadClick();
    PumpMessages();
    EXPECT_EQ(GdiObjectCount(), Gdi);
    EXPECT_EQ(UserObjectCount(), User);
    EXPECT_EQ(F.ImageList.Count(), 4);
    EXPECT_EQ(F.ImageListLarge.Count(), 4);
    const int Init = F.NodeOf(Item("init"))->ImageIndex;
    EXPECT_LT(Init, 4) << "indexes stay valid in both lists";
}

TEST_F(MainFrmTest, EverythingScalesWithTheScreenResolution) {
    Dpi = 144;
    TFrmMain& F = Form();
    RECT Client{};
    ::GetClientRect(F.Handle(), &Client);
    POINT Origin{0, 0};
    ::ClientToScreen(F.Handle(), &Origin);
    EXPECT_EQ(Box(Client), (TBox{0, 0, 1100, 945}));
    EXPECT_EQ(Origin.x, 693);
    EXPECT_EQ(Origin.y, 329);
    EXPECT_EQ(Box(BoundsOf(F.pnlTool.Handle())), (TBox{0, 0, 1100, 50}));
    EXPECT_EQ(Box(BoundsOf(F.StatusBar.Handle())), (TBox{0, 916, 1100, 29}));
    EXPECT_EQ(Box(BoundsOf(F.pnlMain.Handle())).Width, 518);
    EXPECT_EQ(Box(BoundsOf(F.btnReload)), (TBox{12, 6, 170, 38}));
    EXPECT_EQ(Box(F.imgLogo.BoundsRect()), (TBox{1100 - 198, 0, 198, 50}));
    EXPECT_EQ(F.imgLogo.PictureSize().cx, 188);
    EXPECT_EQ(FontOf(F.Font()).lfHeight, -17);
    EXPECT_EQ(FontOf(F.TreeFont()).lfHeight, -12);
    EXPECT_EQ(FontOf(F.TitleFont()).lfHeight, -24);
    EXPECT_EQ(F.ImageList.Width(), 24);
    EXPECT_EQ(F.ImageListLarge.Width(), 48);
    EXPECT_EQ(F.StringGrid.DefaultRowHeight(), 30);
    EXPECT_EQ(::SendMessageA(F.TreeView, TVM_GETINDENT, 0, 0), 38);
    EXPECT_EQ(F.pnlMain.Inset(), 7);
    EXPECT_EQ(F.StatusBar.PanelRect(1).right, 330);

    // A move to a screen of 96 dots per inch scales everything back; the
    // process icons stay at their indexes in both lists.
    const int Count = F.ImageList.Count();
    const RECT Suggested{0, 0, 800, 700};
    ::SendMessageA(F.Handle(), WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&Suggested));
    EXPECT_EQ(F.ImageList.Width(), 16);
    EXPECT_EQ(F.ImageList.Count(), Count);
    EXPECT_EQ(F.ImageListLarge.Count(), Count);
    EXPECT_EQ(FontOf(F.Font()).lfHeight, -11);
    EXPECT_EQ(Box(BoundsOf(F.btnReload)), (TBox{8, 4, 113, 25}));
    EXPECT_EQ(Box(BoundsOf(F.pnlMain.Handle())).Width, 345);
    EXPECT_EQ(Box(BoundsOf(F.pnlTool.Handle())).Height, 33);
}

// ---------------------------------------------------------------- as a native window

TEST_F(MainFrmTest, FocusComesBackAfterTheAboutBoxAndTheSaveDialog) {
    RealDialogs = true;
    TFrmMain& F = Form();
    if (!::GetFocus())
        GTEST_SKIP() << "the display gives no keyboard focus";
    EXPECT_EQ(::GetFocus(), F.btnReload) << "at start: the first control of the focus order";
    const HWND Grid = F.StringGrid.Handle();
    ASSERT_TRUE(Focus(Grid));
    F.StringGrid.ClickCell(0, 3);
    {
        const TDialogCanceller Canceller;
        ::SendMessageA(F.Handle(), WM_SYSCOMMAND, 0xF200, 0);
    }
    PumpMessages();
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(::GetFocus(), Grid) << "after the about box";
    PressKey(VK_DOWN);
    EXPECT_EQ(F.StringGrid.Row(), 4) << "Down moves the grid";

    {
        const TDialogCanceller Canceller;
        F.btnReportClick();  // the system's own save dialog, cancelled
    }
    PumpMessages();
    EXPECT_EQ(::GetFocus(), Grid) << "after the save dialog";
    PressKey(VK_DOWN);
    EXPECT_EQ(F.StringGrid.Row(), 5);
}

// From the narrowest window on and wider again, with the help shown and hidden.
TEST_F(MainFrmTest, WidgetsStandWhereTheSharedLayoutPutsThem) {
    TFrmMain& F = Form();
    const TFormMetrics Metrics = FormMetrics(96);
    SIZE Widest{};
    {
        const TWindowDc Dc(F.StringGrid.Handle());
        const TSelection Font(Dc.Get(), F.StringGrid.Font());
        ::GetTextExtentPoint32A(Dc.Get(), "Anzahl Threads", 14, &Widest);
    }
    const auto Rect = [](HWND Window) {
        const RECT R = BoundsOf(Window);
        return TRect{R.left, R.top, R.right, R.bottom};
    };
    for (const TSize Wanted : {TSize{100, 100}, TSize{500, 450}, TSize{1000, 700}, TSize{733, 630}}) {
        for (const bool Help : {true, false}) {
            SCOPED_TRACE(::testing::Message() << Wanted.Width << " x " << Wanted.Height << (Help ? ", help" : ""));
            if (Help) {
                F.StringGrid.ClickCell(0, 1);
            } else {
                Select("shell");  // a new selection hides the help
                Select("init");
            }
            const auto Style = static_cast<DWORD>(::GetWindowLongPtrA(F.Handle(), GWL_STYLE));
            const RECT Outer = OuterRectForClient({0, 0, Wanted.Width, Wanted.Height}, Style, 0, 96);
            ::SetWindowPos(F.Handle(), nullptr, 0, 0, Outer.right - Outer.left, Outer.bottom - Outer.top,
                           SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
            RECT Client{};
            ::GetClientRect(F.Handle(), &Client);
            if (Wanted.Width == 100) {
                EXPECT_EQ(Box(Client), (TBox{0, 0, 403, 402})) << "the window keeps both panels' minimums";
                EXPECT_EQ(Rect(F.pnlDetails.Handle()).Width(), 250);
            }
            // The tree's width, 345, comes back after the narrow sizes.
            const TFormLayout Layout = LayoutForm({Client.right, Client.bottom}, 345, Metrics);
            EXPECT_EQ(Rect(F.pnlTool.Handle()), Layout.Tool);
            EXPECT_EQ(Rect(F.StatusBar.Handle()), Layout.Status);
            EXPECT_EQ(Rect(F.pnlMain.Handle()), Layout.Main);
            EXPECT_EQ(Rect(F.Splitter1.Handle()), Layout.Splitter);
            EXPECT_EQ(Rect(F.pnlDetails.Handle()), Layout.Details);
            const TDetailsLayout Details = LayoutDetails(
                {5, 5, Layout.Details.Width() - 5, Layout.Details.Height() - 5}, Help, Metrics);
            EXPECT_EQ(Rect(F.pnlTitle.Handle()), Details.Title);
            EXPECT_EQ(Rect(F.StringGrid.Handle()), Details.Grid);
            if (!Help)
                continue;  // the columns keep the widths of the last resize
            EXPECT_EQ(Rect(F.pnlHint.Handle()), Details.Hint);
            const TColumnWidths Columns = SheetColumnWidths(Widest.cx, Details.Grid.Size(), 15 * 21, ScrollBarSize(96));
            EXPECT_EQ(F.StringGrid.ColWidths(0), Columns.Label);
            EXPECT_EQ(F.StringGrid.ColWidths(1), Columns.Value);
        }
    }
}

TEST_F(MainFrmTest, TheColumnsFillTheGridAfterMaximiseAndRestoreWithTheHelpShown) {
    TFrmMain& F = Form();
    F.StringGrid.ClickCell(0, 3);
    ASSERT_TRUE(HintShown());
    TStringGrid& Grid = F.StringGrid;
    const auto Filled = [&] { return Grid.ColWidths(0) + Grid.ColWidths(1) + 2 == Grid.ClientWidth(); };
    ::SendMessageA(F.Handle(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    ASSERT_TRUE(::IsZoomed(F.Handle()));
    EXPECT_TRUE(Filled()) << "maximised";
    ::SendMessageA(F.Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_TRUE(Filled()) << "restored";
    EXPECT_EQ(Grid.ClientWidth(), 375) << "no bar left beside the columns";
    EXPECT_FALSE(Grid.VerticalScrollBar());
    EXPECT_FALSE(Grid.HorizontalScrollBar());
}

TEST_F(MainFrmTest, AReloadHidesTheHelpWhenItTakesTheSelection) {
    TFrmMain& F = Form();
    F.btnReloadClick();
    EXPECT_TRUE(HintShown()) << "nothing was selected: the intro stays";
    Select("init");
    F.StringGrid.ClickCell(0, 2);
    ASSERT_TRUE(HintShown());
    F.btnReloadClick();
    EXPECT_FALSE(HintShown());
    EXPECT_EQ(F.lblTitle.Caption(), "init") << "the sheet keeps its values";
}

TEST_F(MainFrmTest, WheelStepsSmallerThanANotchAddUp) {
    TFrmMain& F = Form();
    F.StringGrid.ClickCell(0, 0);
    RECT Window{};
    ::GetWindowRect(F.Handle(), &Window);
    ::SetWindowPos(F.Handle(), nullptr, 0, 0, Window.right - Window.left, 100, SWP_NOZORDER | SWP_NOMOVE);
    ASSERT_TRUE(F.StringGrid.VerticalScrollBar()) << "the help leaves the grid a few rows";
    UINT Lines = 3;
    ::SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &Lines, 0);
    const auto Wheel = [&](int Delta) {
        ::SendMessageA(F.StringGrid.Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(Delta)), 0);
    };
    Wheel(-60);
    Wheel(-60);
    EXPECT_EQ(F.StringGrid.TopRow(), static_cast<int>(Lines)) << "two half steps go as far as a notch";
    Wheel(WHEEL_DELTA);
    EXPECT_EQ(F.StringGrid.TopRow(), 0);
}

TEST_F(MainFrmTest, AltF4ClosesTheWindowFromEveryControl) {
    for (const auto Control : {&TFrmMain::TreeView, &TFrmMain::btnReload}) {
        Opened.clear();
        TFrmMain& F = Form();
        ::SendMessageA(F.*Control, WM_SYSKEYDOWN, VK_F4, 0x20000001);  // bit 29: Alt is down
        PumpMessages();
        EXPECT_EQ(F.Handle(), nullptr);
        EXPECT_EQ(Opened.size(), 1u) << "closed, with the exit page";
        FForm.reset();
    }
}

TEST_F(MainFrmTest, TabbingIntoTheMemoLeavesItsSelectionAlone) {
    TFrmMain& F = Form();
    if (!Focus(F.StringGrid.Handle()))
        GTEST_SKIP() << "the display gives no keyboard focus";
    MSG Tab{F.StringGrid.Handle(), WM_KEYDOWN, VK_TAB, 0, 0, {}};
    EXPECT_TRUE(::IsDialogMessageA(F.Handle(), &Tab));
    ASSERT_EQ(::GetFocus(), F.MemoHint.Handle());
    CHARRANGE Selection{};
    ::SendMessageA(F.MemoHint.Handle(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&Selection));
    EXPECT_EQ(Selection.cpMin, Selection.cpMax) << "nothing selected";
}

TEST_F(MainFrmTest, TheStatusBarIsRepaintedWholeOnResize) {
    TFrmMain& F = Form();
    const HWND Bar = F.StatusBar.Handle();
    ::UpdateWindow(F.Handle());
    ::ValidateRect(Bar, nullptr);
    RECT Window{};
    ::GetWindowRect(F.Handle(), &Window);
    ::SetWindowPos(F.Handle(), nullptr, 0, 0, Window.right - Window.left + 100, Window.bottom - Window.top,
                   SWP_NOZORDER | SWP_NOMOVE);
    RECT Dirty{};
    ::GetUpdateRect(Bar, &Dirty, FALSE);
    EXPECT_LE(Dirty.left, 600) << "the old grip's place is repainted";
    EXPECT_EQ(Dirty.right, 833);
}

TEST_F(MainFrmTest, TheTooltipGoesWhenTheKeyboardMovesTheSelection) {
    TFrmMain& F = Form();
    Select("init");
    // The mouse comes to rest on the entry, and its tip shows after a while.
    const RECT Entry = EntryRect("init");
    POINT At{Entry.left + 2, Entry.top + 2};
    ::ClientToScreen(F.TreeView, &At);
    ::SetCursorPos(At.x, At.y);
    ::PostMessageA(F.TreeView, WM_MOUSEMOVE, 0, MAKELPARAM(Entry.left + 2, Entry.top + 2));
    for (int Wait = 0; Wait < 150 && !::IsWindowVisible(F.ToolTips); ++Wait) {
        ::Sleep(20);
        PumpMessages();
    }
    if (!::IsWindowVisible(F.ToolTips))
        GTEST_SKIP() << "the tooltip does not show on this display";
    ::SendMessageA(F.TreeView, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(F.NodeOf(reinterpret_cast<HTREEITEM>(::SendMessageA(F.TreeView, TVM_GETNEXTITEM, TVGN_CARET, 0)))->Text,
              "shell");
    EXPECT_FALSE(::IsWindowVisible(F.ToolTips));
}

TEST_F(MainFrmTest, TheSignaturesVerdictArrivesAsTheLastSentenceOfTheTooltips) {
    Signatures->Enabled = true;
    Signatures->Add(kNotepad, TSignatureStatus::Trusted, "Microsoft Windows", "Microsoft Windows Production PCA 2011");
    Signatures->Add(kWinecfg, TSignatureStatus::Tampered);
    TFrmMain& F = Form();
    WaitForSignatures(F);
    const std::string Init = Sys("Versionsressource der Programmdatei: der Hersteller ist angegeben.");
    const std::string Trusted = Sys("Signiert von Microsoft Windows (Aussteller: Microsoft Windows Production PCA "
                                    "2011); die Signatur ist gültig.");
    const std::string Tampered =
        Sys("Die Signatur passt nicht mehr zum Inhalt: die Datei wurde nach dem Signieren verändert.");
    EXPECT_EQ(F.NodeOf(Item("init"))->Data()->Explanation, Init + " " + Trusted);
    Hover(F, Item("shell"));
    EXPECT_NE(ToolTipText(F, F.TreeView).find(WideFromAnsi(Tampered)), std::wstring::npos);
    EXPECT_EQ(F.NodeOf(Item("shell"))->Data()->RiskLevel, rlMediumDangerous) << "the rating does not change";
    const std::string Virus = F.NodeOf(Item("virus"))->Data()->Explanation;
    EXPECT_NE(Virus.find(Sys("Die Signatur lässt sich nicht prüfen")), std::string::npos) << Virus;
    const std::string Kernel = F.NodeOf(Item("System"))->Data()->Explanation;
    EXPECT_EQ(Kernel.find("Signatur"), std::string::npos) << "no image file, no signature";

    // The next reload shows the check as under way until its verdicts arrive,
    // without verifying an unchanged file again.
    Select("init");
    const int Verifications = Signatures->Verifications;
    F.btnReloadClick();
    EXPECT_EQ(F.NodeOf(Item("init"))->Data()->Explanation, Init + " " + Sys("Die Signatur wird geprüft."));
    Select("init");
    EXPECT_EQ(ToolTipText(F, F.pnlTitle.Handle()), WideFromAnsi(Init + " " + Sys("Die Signatur wird geprüft.")));
    WaitForSignatures(F);
    EXPECT_EQ(ToolTipText(F, F.pnlTitle.Handle()), WideFromAnsi(Init + " " + Trusted)) << "the title follows";
    EXPECT_EQ(Signatures->Verifications, Verifications + 1) << "only the file that cannot be opened";
}

// The window over the processes that Wine runs beside this test.
TEST(MainFrmLive, ListsTheRunningProcessesRatedAndCounted) {
    const std::unique_ptr<IProcessSource> Source = CreateSystemProcessSource();
    const std::unique_ptr<IVersionApi> Api = CreateSystemVersionApi();
    TFrmMainServices Services;
    Services.OpenUrl = [](const std::string&) {};
    std::vector<std::string> Messages;
    Services.ShowMessage = [&](HWND, const std::string& Text, const std::string&, UINT) { Messages.push_back(Text); };
    Services.Dpi = 96;
    {
        TFrmMain F(*Source, *Api, Services);
        F.Show();
        PumpMessages();
        const std::size_t Count = F.Catalogue().Count();
        ASSERT_GT(Count, 1u);
        EXPECT_EQ(static_cast<std::size_t>(::SendMessageA(F.TreeView, TVM_GETCOUNT, 0, 0)), Count);
        EXPECT_TRUE(Messages.empty()) << "Wine passes the platform check";
        EXPECT_EQ(F.StatusBar.PanelText(0), std::to_string(Count) + " Prozesse geladen ");
        EXPECT_EQ(WindowText(F.btnReload), "Aktualisieren");
        EXPECT_EQ(F.MemoHint.Line(0), "Hier erhalten sie weitere Informationen.");
        const TCatalogueNode* Own = nullptr;
        for (const TCatalogueNode* Node : F.Catalogue().TreeOrder())
            if (Node->Data()->ProcessId == ::GetCurrentProcessId())
                Own = Node;
        ASSERT_NE(Own, nullptr);
        // This program carries the window program's version resource.
        EXPECT_EQ(Own->Data()->CompanyName, "Quorvane Software");
        EXPECT_EQ(Own->Data()->RiskLevel, rlSlightlyDangerous);
        EXPECT_GE(Own->ImageIndex, 2) << "its own icon";
        ::SendMessageA(F.TreeView, TVM_SELECTITEM, TVGN_CARET,
                       reinterpret_cast<LPARAM>(F.ItemAt(static_cast<std::size_t>(
                           std::find(F.Catalogue().TreeOrder().begin(), F.Catalogue().TreeOrder().end(), Own) -
                           F.Catalogue().TreeOrder().begin()))));
        EXPECT_EQ(F.StringGrid.Cells(1, 0), "Quorvane Software");
        EXPECT_EQ(F.StringGrid.Cells(1, 14), Sys("Schwach gefährlich"));
    }
    PumpMessages();
}

// Two copies of one program run beside this test: one as signed, one changed
// after signing. Their tooltips name what became of their signatures.
TEST(MainFrmLive, TheTooltipsOfASignedAndOfATamperedProcessNameTheirSignatures) {
    ASSERT_TRUE(quorvane::testing::TestRootTrusted());
    std::vector<PROCESS_INFORMATION> Started;
    for (const char* Name : {"trusted.exe", "tampered.exe"}) {
        std::string CommandLine = "\"" + quorvane::testing::SignedFile(Name) + "\"";
        STARTUPINFOA Startup{};
        Startup.cb = sizeof Startup;
        PROCESS_INFORMATION Child{};
        ASSERT_TRUE(::CreateProcessA(nullptr, CommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                     &Startup, &Child))
            << Name;
        Started.push_back(Child);
    }
    const std::unique_ptr<IProcessSource> Source = CreateSystemProcessSource();
    const std::unique_ptr<IVersionApi> Api = CreateSystemVersionApi();
    TFrmMainServices Services;
    Services.OpenUrl = [](const std::string&) {};
    Services.ShowMessage = [](HWND, const std::string&, const std::string&, UINT) {};
    Services.Dpi = 96;
    {
        TFrmMain F(*Source, *Api, Services);
        F.Show();
        PumpMessages();
        WaitForSignatures(F);
        const auto TipOfProcess = [&](DWORD ProcessId) {
            const std::vector<const TCatalogueNode*>& Order = F.Catalogue().TreeOrder();
            for (std::size_t I = 0; I < Order.size(); ++I)
                if (Order[I]->Data() && Order[I]->Data()->ProcessId == ProcessId) {
                    Hover(F, F.ItemAt(I));
                    return ToolTipText(F, F.TreeView);
                }
            return std::wstring(L"no entry");
        };
        const std::wstring Signed = TipOfProcess(Started[0].dwProcessId);
        const std::wstring Tampered = TipOfProcess(Started[1].dwProcessId);
        EXPECT_NE(Signed.find(WideFromAnsi(Sys("Signiert von Quorvane Testsignatur (Aussteller: Quorvane Test Root); "
                                                "die Signatur ist gültig."))),
                  std::wstring::npos);
        EXPECT_NE(Tampered.find(WideFromAnsi(Sys("Die Signatur passt nicht mehr zum Inhalt: die Datei wurde nach dem "
                                                  "Signieren verändert."))),
                  std::wstring::npos);
    }
    for (const PROCESS_INFORMATION& Child : Started) {
        ::TerminateProcess(Child.hProcess, 0);
        ::WaitForSingleObject(Child.hProcess, 5000);
        ::CloseHandle(Child.hThread);
        ::CloseHandle(Child.hProcess);
    }
    PumpMessages();
}

}  // namespace
}  // namespace quorvane::win32::testing
