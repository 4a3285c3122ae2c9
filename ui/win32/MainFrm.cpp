#include "ui/win32/MainFrm.h"

#include <windowsx.h>
#include <urlmon.h>
#include <richedit.h>

#include <algorithm>
#include <unordered_map>

#include "catalogue/Risk.h"
#include "probes/win32/ShellIcons.h"
#include "report/Report.h"
#include "resources/StringTable.h"
#include "ui/rules/FormLayout.h"
#include "ui/rules/Pictures.h"
#include "ui/rules/WindowRules.h"
#include "ui/win32/Dpi.h"
#include "ui/win32/Drawing.h"
#include "ui/win32/Pictures.h"
#include "ui/win32/WindowClass.h"

namespace quorvane::win32 {
namespace {

constexpr UINT kIdmAbout = 0xF200;
constexpr UINT kVerdictsArrived = WM_APP + 1;  // posted by the workers of the late verdicts
constexpr char kWindowClass[] = "TFrmMain";
constexpr DWORD kWindowStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr COLORREF kMemoBackground = RGB(255, 255, 224);

// The window description at 96 dots per inch.
constexpr int kLeft = 462;
constexpr int kTop = 219;
constexpr int kClientWidth = 733;
constexpr int kClientHeight = 630;
constexpr int kTreeIndent = 25;
constexpr int kDefaultColWidth = 86;
constexpr int kRowHeight = 20;
constexpr int kCellTextOffset = 2;
constexpr int kMemoMargin = 3;
constexpr int kToolTipWidth = 300;  // longer explanations wrap

TFontHandle MakeFont(const char* Face, int Height, bool Bold) {
    // FF_SWISS: where the face is missing, the nearest sans-serif of that height.
    return TFontHandle(::CreateFontA(Height, 0, 0, 0, Bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                     DEFAULT_PITCH | FF_SWISS, Face));
}

void SetFont(HWND Window, HFONT Font) { ::SendMessageA(Window, WM_SETFONT, reinterpret_cast<WPARAM>(Font), TRUE); }

TRect LayoutRect(const RECT& Rect) { return {Rect.left, Rect.top, Rect.right, Rect.bottom}; }

void Place(HWND Window, const TRect& Bounds) {
    ::SetWindowPos(Window, nullptr, Bounds.Left, Bounds.Top, Bounds.Width(), Bounds.Height(),
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

std::string RunningProgramDirectory() {
    char Path[MAX_PATH * 4] = {};
    const DWORD Length = ::GetModuleFileNameA(nullptr, Path, sizeof Path);
    const std::string Full(Path, Length < sizeof Path ? Length : 0);
    const std::size_t Last = Full.find_last_of("\\/");
    return Last == std::string::npos ? std::string() : Full.substr(0, Last);
}

// The toolbar logo at the resolution: drawn at the next whole scale and
// resampled to the proportional size, so its ground stays exactly mid-gray.
TPicture LogoAtDpi(int Dpi) {
    const int WholeScale = std::max(1, (Dpi + kDesignDpi - 1) / kDesignDpi);
    TPicture Logo = LogoPicture(WholeScale);
    const int Width = Scale(kLogoWidth, Dpi);
    const int Height = Scale(kLogoHeight, Dpi);
    if (Logo.Width != Width || Logo.Height != Height)
        Logo = ScaledPicture(Logo, Width, Height);
    return Logo;
}

}  // namespace

COLORREF ColorRef(const TColor& Color) {
    if (!Color.IsSystem)
        return RGB(Color.R, Color.G, Color.B);
    switch (Color.System) {
    case TSystemColor::clBtnFace: return ::GetSysColor(COLOR_BTNFACE);
    case TSystemColor::clWindow: return ::GetSysColor(COLOR_WINDOW);
    case TSystemColor::clWindowText: return ::GetSysColor(COLOR_WINDOWTEXT);
    case TSystemColor::clHighlight: return ::GetSysColor(COLOR_HIGHLIGHT);
    case TSystemColor::clHighlightText: return ::GetSysColor(COLOR_HIGHLIGHTTEXT);
    }
    return ::GetSysColor(COLOR_WINDOWTEXT);
}

// ---------------------------------------------------------------- TSaveDialog

bool TSaveDialog::Execute(HWND Owner) {
    // "Text (*.txt)|*.txt" as the dialog takes it: pairs ended by NULs, a second NUL at the end.
    std::string Filters = Filter;
    std::replace(Filters.begin(), Filters.end(), '|', '\0');
    Filters.append(2, '\0');
    std::vector<char> Name(32768, '\0');
    FileName.copy(Name.data(), std::min(FileName.size(), Name.size() - 1));
    OPENFILENAMEA Dialog{};
    Dialog.lStructSize = sizeof Dialog;
    Dialog.hwndOwner = Owner;
    Dialog.lpstrFilter = Filters.c_str();
    Dialog.nFilterIndex = 1;
    Dialog.lpstrFile = Name.data();
    Dialog.nMaxFile = static_cast<DWORD>(Name.size());
    Dialog.lpstrTitle = Title.empty() ? nullptr : Title.c_str();
    // An existing file is replaced without a question.
    Dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING;
    if (!Run || !Run(Dialog))
        return false;
    Name.back() = '\0';
    const std::string Chosen = Name.data();
    if (Chosen.empty())
        return false;
    FileName = Chosen;
    return true;
}

// ---------------------------------------------------------------- icons

// The icon sink of the catalogue over the window's two image lists as they
// are at the moment (a change of resolution replaces them).
class TFrmMain::TIcons final : public IIconSink {
public:
    explicit TIcons(TFrmMain& Form) : FForm(Form) {}
    int AddProcessIcon(const std::string& FilePath) override {
        TShellIconSink Sink(FForm.ImageList.Handle(), FForm.ImageListLarge.Handle());
        return Sink.AddProcessIcon(FilePath);
    }

private:
    TFrmMain& FForm;
};

// ---------------------------------------------------------------- creation

TFrmMain::TFrmMain(IProcessSource& Source, IVersionApi& VersionApi, TFrmMainServices Services)
    : StVersionInfo(nullptr, VersionApi), FSource(Source), FServices(std::move(Services)) {
    if (!FServices.OpenUrl)
        FServices.OpenUrl = [](const std::string& Address) {
            ::HlinkNavigateString(nullptr, WideFromAnsi(Address).c_str());
        };
    if (!FServices.ShowMessage)
        FServices.ShowMessage = [](HWND Owner, const std::string& Text, const std::string& Caption, UINT Flags) {
            ::MessageBoxA(Owner, Text.c_str(), Caption.c_str(), Flags);
        };
    if (!FServices.QueryPlatformVersion)
        FServices.QueryPlatformVersion = QueryPlatformVersion;
    if (!FServices.ProgramDirectory)
        FServices.ProgramDirectory = RunningProgramDirectory();
    if (!FServices.Signatures)
        FServices.Signatures = CreateSystemSignatureCheck();
    if (!FServices.ModuleVersions)
        FServices.ModuleVersions = CreateSystemVersionApi();

    INITCOMMONCONTROLSEX Controls{sizeof Controls, ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&Controls);
    FRichEditLibrary.Reset(::LoadLibraryA("msftedit.dll"));
    FIcons = std::make_unique<TIcons>(*this);
    FCatalogue = std::make_unique<TCatalogue>(FSource, StVersionInfo, FIcons.get());
    FCatalogue->ListModules(true);
    // Posted only after a reload, when the window exists.
    FLateVerdicts = std::make_unique<TLateVerdicts>(*FCatalogue, *FServices.Signatures, *FServices.ModuleVersions,
                                                    [this] { ::PostMessageA(FHandle, kVerdictsArrived, 0, 0); });

    SaveDialog.Filter = LoadStr(TStringId::sReportFilter);
    SaveDialog.Title = LoadStr(TStringId::sReportDialogTitle);
    SaveDialog.Run = [](OPENFILENAMEA& Dialog) { return ::GetSaveFileNameA(&Dialog) != FALSE; };

    RegisterWindowClass({kWindowClass, WindowProc, 0, IDC_ARROW, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)});

    // Placed where designed, not centred: the client area at the designed
    // position and size, whatever frame the system draws around it.
    FDpi = FServices.Dpi ? *FServices.Dpi : DpiAtPoint({kLeft, kTop});
    FMetrics = FormMetrics(FDpi);
    FMainWidth = FMetrics.MainWidth;
    const RECT Client{Scaled(kLeft), Scaled(kTop), Scaled(kLeft) + Scaled(kClientWidth),
                      Scaled(kTop) + Scaled(kClientHeight)};
    const RECT Outer = OuterRectForClient(Client, kWindowStyle, 0, FDpi);
    ::CreateWindowExA(0, kWindowClass, LoadStr(TStringId::sAppTitle).c_str(), kWindowStyle, Outer.left, Outer.top,
                      Outer.right - Outer.left, Outer.bottom - Outer.top, nullptr, nullptr,
                      ::GetModuleHandleA(nullptr), this);
    if (!FHandle)
        return;
    // Where the system's frame differs from what it announced, the client
    // area is put right.
    RECT Actual{};
    ::GetClientRect(FHandle, &Actual);
    POINT Origin{0, 0};
    ::ClientToScreen(FHandle, &Origin);
    RECT Window{};
    ::GetWindowRect(FHandle, &Window);
    const int Dx = Client.left - Origin.x;
    const int Dy = Client.top - Origin.y;
    const int Dw = (Client.right - Client.left) - Actual.right;
    const int Dh = (Client.bottom - Client.top) - Actual.bottom;
    if (Dx || Dy || Dw || Dh)
        ::SetWindowPos(FHandle, nullptr, Window.left + Dx, Window.top + Dy, Window.right - Window.left + Dw,
                       Window.bottom - Window.top + Dh, SWP_NOZORDER | SWP_NOACTIVATE);
}

TFrmMain::~TFrmMain() {
    FLateVerdicts->Stop();
    if (FHandle)
        ::DestroyWindow(FHandle);
}

int TFrmMain::Scaled(int DesignPixels) const { return Scale(DesignPixels, FDpi); }

void TFrmMain::Show(int CmdShow) {
    if (!FHandle)
        return;
    ::ShowWindow(FHandle, CmdShow);
    if (FHandle)
        ::UpdateWindow(FHandle);
}

void TFrmMain::CreateComponents() {
    const HINSTANCE Instance = ::GetModuleHandleA(nullptr);
    const auto Button = [&](const char* Caption) {
        // The window description's captions until the first show.
        return ::CreateWindowExA(0, "BUTTON", Caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0, 0,
                                 pnlTool.Handle(), nullptr, Instance, nullptr);
    };

    pnlTool.Create(FHandle, TBevel::bvNone, TBevel::bvNone, 0);
    pnlTool.Add(PaintBoxHeader);
    pnlTool.Add(imgLogo);
    imgLogo.SetPicture(PictureBitmap(LogoAtDpi(FDpi), 24));
    btnReload = Button("Actualize");
    btnReport = Button("Save Report");

    StatusBar.Create(FHandle, {{150, TStatusBar::TTextAlign::taRight, true},
                               {70, TStatusBar::TTextAlign::taCenter, true},
                               {50, TStatusBar::TTextAlign::taLeft, false}});

    pnlMain.Create(FHandle, TBevel::bvNone, TBevel::bvLowered, 4);
    // TVS_EDITLABELS: a request to edit reaches TreeViewEditing, which refuses it.
    // No TVS_SHOWSELALWAYS: the selection shows only while the tree has the focus.
    // TVS_NOTOOLTIPS: the window's own tooltip shows the explanation of each entry.
    TreeView = ::CreateWindowExA(0, WC_TREEVIEWA, "",
                                 WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS |
                                     TVS_LINESATROOT | TVS_EDITLABELS | TVS_NOTOOLTIPS,
                                 0, 0, 0, 0, pnlMain.Handle(), nullptr, Instance, nullptr);

    Splitter1.Create(FHandle);

    pnlDetails.Create(FHandle, TBevel::bvNone, TBevel::bvLowered, 4);
    StringGrid.Create(pnlDetails.Handle(), 2, kSheetRows);
    pnlTitle.Create(pnlDetails.Handle(), TBevel::bvRaised, TBevel::bvNone, 2);
    pnlTitle.Add(shpTitle);
    pnlTitle.Add(imgIcon);
    pnlTitle.Add(lblTitle);
    shpTitle.SetBrushColor(RGB(255, 255, 255));
    pnlHint.Create(pnlDetails.Handle(), TBevel::bvRaised, TBevel::bvLowered, 5);
    MemoHint.Create(pnlHint.Handle(), kMemoBackground);
    CreateToolTips();

    // Tab follows the window order: the toolbar's buttons, then the sheet
    // (grid, memo), then the tree.
    ::SetWindowPos(pnlDetails.Handle(), pnlTool.Handle(), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    pnlTool.OnResize = [this] {
        PaintBoxHeader.SetBounds(pnlTool.InnerRect());
        pnlToolResize();
    };
    PaintBoxHeader.OnPaint = [this](HDC Canvas) { PaintBoxHeaderPaint(Canvas); };
    pnlMain.OnResize = [this] { Place(TreeView, LayoutRect(pnlMain.InnerRect())); };
    pnlDetails.OnResize = [this] {
        AlignDetails();
        pnlDetailsResize();
    };
    pnlTitle.OnResize = [this] {
        shpTitle.SetBounds(pnlTitle.InnerRect());
        pnlTitleResize();
    };
    pnlHint.OnResize = [this] {
        Place(MemoHint.Handle(), LayoutRect(pnlHint.InnerRect()));
        MemoHint.SetMargin(Scaled(kMemoMargin));
    };
    Splitter1.OnMoved = [this](int Delta) {
        // From the width the tree has, which a narrow window may have cut.
        FMainWidth = MainPanelWidth(pnlMain.ClientWidth() + Delta, ClientSize().Width, FMetrics);
        AlignForm();
    };
    StringGrid.OnDrawCell = [this](int Col, int Row, const RECT& Rect, unsigned State, HDC Canvas) {
        StringGridDrawCell(Col, Row, Rect, State, Canvas);
    };
    StringGrid.OnSelectCell = [this](int Col, int Row, bool& CanSelect) { StringGridSelectCell(Col, Row, CanSelect); };
}

void TFrmMain::ApplyDpi(int Dpi) {
    if (Dpi != FDpi)
        FMainWidth = ::MulDiv(FMainWidth, Dpi, FDpi);
    FDpi = Dpi;
    FMetrics = FormMetrics(Dpi);

    FFont = MakeFont("MS Sans Serif", -Scaled(11), false);
    FTreeFont = MakeFont("MS Sans Serif", -Scaled(8), false);
    FTitleFont = MakeFont("Arial", -Scaled(16), true);
    for (HWND Control : {btnReload, btnReport, StatusBar.Handle(), MemoHint.Handle()})
        SetFont(Control, FFont.Get());
    SetFont(TreeView, FTreeFont.Get());
    StringGrid.SetFont(FFont.Get());
    StringGrid.SetDefaultSizes(Scaled(kDefaultColWidth), Scaled(kRowHeight));
    lblTitle.SetFont(FTitleFont.Get());

    pnlMain.SetBorderWidth(Scaled(4));
    pnlDetails.SetBorderWidth(Scaled(4));
    pnlTitle.SetBorderWidth(Scaled(2));
    pnlHint.SetBorderWidth(Scaled(5));
    Place(btnReload, {Scaled(8), Scaled(4), Scaled(8) + Scaled(113), Scaled(4) + Scaled(25)});
    Place(btnReport, {Scaled(128), Scaled(4), Scaled(128) + Scaled(105), Scaled(4) + Scaled(25)});
    imgLogo.SetBounds(imgLogo.Left(), imgLogo.Top(), Scaled(132), Scaled(33));
    imgLogo.SetPicture(PictureBitmap(LogoAtDpi(Dpi), 24));
    imgIcon.SetBounds(Scaled(4), Scaled(4), Scaled(32), Scaled(32));
    StatusBar.SetDpi(Dpi);
    ::SendMessageA(ToolTips, TTM_SETMAXTIPWIDTH, 0, Scaled(kToolTipWidth));
    ::SendMessageA(TreeView, TVM_SETBKCOLOR, 0, static_cast<LPARAM>(::GetSysColor(COLOR_BTNFACE)));

    // Image lists of the new size: the two motifs drawn for it, then the
    // process icons of the old lists, so every index keeps its picture.
    const int SmallSize = Scaled(16);
    const int LargeSize = Scaled(32);
    if (ImageList.Width() != SmallSize || !ImageList.Handle()) {
        TImageListHandle NewSmall = TImageList::NewList(SmallSize, SmallSize);
        TImageListHandle NewLarge = TImageList::NewList(LargeSize, LargeSize);
        AddPicture(NewSmall.Get(), GenericWindowPicture(SmallSize));
        AddPicture(NewSmall.Get(), KernelFlagPicture(SmallSize));
        AddPicture(NewLarge.Get(), GenericWindowPicture(LargeSize));
        AddPicture(NewLarge.Get(), KernelFlagPicture(LargeSize));
        for (int Index = 2; Index < ImageListLarge.Count(); ++Index) {
            const TIconHandle Icon(::ImageList_GetIcon(ImageListLarge.Handle(), Index, ILD_NORMAL));
            ::ImageList_ReplaceIcon(NewSmall.Get(), -1, Icon.Get());
            ::ImageList_ReplaceIcon(NewLarge.Get(), -1, Icon.Get());
        }
        // The tree lets go of the old list before the list goes.
        ::SendMessageA(TreeView, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(NewSmall.Get()));
        ImageList.Reset(std::move(NewSmall), SmallSize, SmallSize);
        ImageListLarge.Reset(std::move(NewLarge), LargeSize, LargeSize);
    }
    // After the image list, which may change the tree's indentation.
    ::SendMessageA(TreeView, TVM_SETINDENT, static_cast<WPARAM>(Scaled(kTreeIndent)), 0);

    // The program's own icon at the sizes of the title bar and the task switcher.
    // The window keeps using the old icons until it has the new ones.
    TIconHandle Large = PictureIcon(ProgramIconPicture(SystemMetricForDpi(SM_CXICON, Dpi)));
    TIconHandle Small = PictureIcon(ProgramIconPicture(SystemMetricForDpi(SM_CXSMICON, Dpi)));
    ::SendMessageA(FHandle, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(Large.Get()));
    ::SendMessageA(FHandle, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(Small.Get()));
    FIconLarge = std::move(Large);
    FIconSmall = std::move(Small);
}

// ---------------------------------------------------------------- layout

TSize TFrmMain::ClientSize() const {
    RECT Client{};
    ::GetClientRect(FHandle, &Client);
    return {Client.right, Client.bottom};
}

void TFrmMain::AlignForm() {
    const TFormLayout Layout = LayoutForm(ClientSize(), FMainWidth, FMetrics);
    Place(pnlTool.Handle(), Layout.Tool);
    Place(StatusBar.Handle(), Layout.Status);
    // The bar draws its size grip at its right end: the old grip must go too.
    ::InvalidateRect(StatusBar.Handle(), nullptr, TRUE);
    Place(pnlMain.Handle(), Layout.Main);
    Place(Splitter1.Handle(), Layout.Splitter);
    Place(pnlDetails.Handle(), Layout.Details);
}

TDetailsLayout TFrmMain::DetailsLayout() const {
    return LayoutDetails(LayoutRect(pnlDetails.InnerRect()), pnlHint.Visible(), FMetrics);
}

void TFrmMain::AlignDetails() {
    const TDetailsLayout Layout = DetailsLayout();
    Place(pnlTitle.Handle(), Layout.Title);
    if (pnlHint.Visible())
        Place(pnlHint.Handle(), Layout.Hint);
    Place(StringGrid.Handle(), Layout.Grid);
}

void TFrmMain::SetHintVisible(bool Visible) {
    pnlHint.SetVisible(Visible);
    AlignDetails();
}

// ---------------------------------------------------------------- messages

LRESULT CALLBACK TFrmMain::WindowProc(HWND Window, UINT Message, WPARAM wParam, LPARAM lParam) {
    const auto Handler = [](TFrmMain& Self, UINT Message, WPARAM wParam, LPARAM lParam) {
        return Self.HandleMessage(Message, wParam, lParam);
    };
    return DispatchToObject(Window, Message, wParam, lParam, &TFrmMain::FHandle, Handler);
}

LRESULT TFrmMain::HandleMessage(UINT Message, WPARAM wParam, LPARAM lParam) {
    switch (Message) {
        HANDLE_MSG(FHandle, WM_CREATE, OnCreate);
        HANDLE_MSG(FHandle, WM_SIZE, OnSize);
        HANDLE_MSG(FHandle, WM_SHOWWINDOW, OnShowWindow);
        HANDLE_MSG(FHandle, WM_CLOSE, OnClose);
        HANDLE_MSG(FHandle, WM_DESTROY, OnDestroy);
        HANDLE_MSG(FHandle, WM_SYSCOMMAND, OnSysCommand);
        HANDLE_MSG(FHandle, WM_COMMAND, OnCommand);
        HANDLE_MSG(FHandle, WM_NOTIFY, OnNotify);
        HANDLE_MSG(FHandle, WM_GETMINMAXINFO, OnGetMinMaxInfo);
        HANDLE_MSG(FHandle, WM_ACTIVATE, OnActivate);
        HANDLE_MSG(FHandle, WM_SETFOCUS, OnSetFocus);
    case kVerdictsArrived:
        VerdictsArrived();
        return 0;
    case WM_DPICHANGED:
        OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_SYSCOLORCHANGE:
        // The common controls learn of new system colours only from their parent.
        for (HWND Control : {TreeView, StatusBar.Handle(), btnReload, btnReport})
            ::SendMessageA(Control, WM_SYSCOLORCHANGE, 0, 0);
        ::SendMessageA(TreeView, TVM_SETBKCOLOR, 0, static_cast<LPARAM>(::GetSysColor(COLOR_BTNFACE)));
        ::RedrawWindow(FHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
        return 0;
    default:
        return ::DefWindowProcA(FHandle, Message, wParam, lParam);
    }
}

BOOL TFrmMain::OnCreate(HWND, LPCREATESTRUCT) {
    CreateComponents();
    ApplyDpi(FDpi);
    AlignForm();
    FormCreate();
    return TRUE;
}

void TFrmMain::OnSize(HWND, UINT, int, int) {
    if (pnlTool.Handle())
        AlignForm();
}

void TFrmMain::OnActivate(HWND, UINT State, HWND, BOOL Minimized) {
    // As a dialog does: the control with the focus is noted when another
    // window (a message box, the save dialog, another program) takes over, and
    // gets it back when this one is active again.
    if (State == WA_INACTIVE) {
        const HWND Focused = ::GetFocus();
        if (Focused && ::IsChild(FHandle, Focused))
            FFocusedControl = Focused;
    } else if (!Minimized) {
        RestoreFocus();
    }
}

void TFrmMain::OnSetFocus(HWND, HWND) { RestoreFocus(); }

void TFrmMain::RestoreFocus() {
    HWND Control = FFocusedControl;
    if (!Control || !::IsChild(FHandle, Control) || !::IsWindowVisible(Control) || !::IsWindowEnabled(Control))
        Control = ::GetNextDlgTabItem(FHandle, nullptr, FALSE);  // the first of the focus order
    if (Control)
        ::SetFocus(Control);
}

void TFrmMain::OnShowWindow(HWND, BOOL Show, UINT) {
    if (Show && !FShown) {
        FShown = true;
        FormShow();
    }
}

void TFrmMain::OnClose(HWND Window) {
    FormClose();
    ::DestroyWindow(Window);
}

void TFrmMain::OnDestroy(HWND) {
    // The tree goes with the window; what it reports on its way is of no interest.
    FTreeEventsHeld = true;
    FLateVerdicts->Stop();
    if (FServices.EndsApplication)
        ::PostQuitMessage(0);
}

void TFrmMain::OnSysCommand(HWND Window, UINT Command, int X, int Y) {
    // Every command gets its default handling first; the about entry has none.
    ::DefWindowProcA(Window, WM_SYSCOMMAND, Command, MAKELPARAM(X, Y));
    if (Command == kIdmAbout)
        FServices.ShowMessage(FHandle, LoadStr(TStringId::sAboutText), LoadStr(TStringId::sInfoCaption),
                              MB_OK | MB_ICONINFORMATION);
}

void TFrmMain::OnCommand(HWND, int, HWND Control, UINT Code) {
    if (Code != BN_CLICKED)
        return;
    if (Control == btnReload)
        btnReloadClick();
    else if (Control == btnReport)
        btnReportClick();
}

LRESULT TFrmMain::OnNotify(HWND, int, NMHDR* Header) {
    if (Header->hwndFrom == TreeView) {
        switch (Header->code) {
        case NM_CUSTOMDRAW:
            return TreeCustomDraw(reinterpret_cast<NMTVCUSTOMDRAW*>(Header));
        case TVN_BEGINLABELEDITA:
        case TVN_BEGINLABELEDITW: {
            bool AllowEdit = true;
            TreeViewEditing(NodeOf(reinterpret_cast<NMTVDISPINFOA*>(Header)->item.hItem), AllowEdit);
            return AllowEdit ? FALSE : TRUE;  // TRUE cancels the edit
        }
        case TVN_SELCHANGEDA:
        case TVN_SELCHANGEDW:
            // Moved by keyboard, the selection leaves the mouse behind: the
            // tip of the entry under it would stay over the sheet.
            if (reinterpret_cast<NMTREEVIEWA*>(Header)->action == TVC_BYKEYBOARD)
                ::SendMessageA(ToolTips, TTM_POP, 0, 0);
            if (!FTreeEventsHeld)
                TreeViewChange();
            return 0;
        default:
            return 0;
        }
    }
    if (Header->hwndFrom == ToolTips && Header->code == TTN_GETDISPINFOA) {
        auto* Info = reinterpret_cast<NMTTDISPINFOA*>(Header);
        Info->hinst = nullptr;
        Info->szText[0] = '\0';
        Info->lpszText = const_cast<char*>(ToolTipText(Header->idFrom).c_str());
        return 0;
    }
    if (Header->hwndFrom == ToolTips && Header->code == TTN_GETDISPINFOW) {
        auto* Info = reinterpret_cast<NMTTDISPINFOW*>(Header);
        FWideTip = WideFromAnsi(ToolTipText(Header->idFrom));
        Info->hinst = nullptr;
        Info->szText[0] = L'\0';
        Info->lpszText = FWideTip.data();
        return 0;
    }
    if (Header->hwndFrom == MemoHint.Handle() && Header->code == EN_MSGFILTER) {
        const UINT Mouse = reinterpret_cast<MSGFILTER*>(Header)->msg;
        if (Mouse == WM_LBUTTONUP || Mouse == WM_RBUTTONUP || Mouse == WM_MBUTTONUP)
            MemoHintMouseUp();
        return 0;  // the memo handles the message as usual
    }
    return 0;
}

void TFrmMain::OnGetMinMaxInfo(HWND, LPMINMAXINFO Info) {
    const TSize Smallest = MinimumClientSize(FMetrics);
    const RECT Outer = OuterRectForClient({0, 0, Smallest.Width, Smallest.Height}, kWindowStyle, 0, FDpi);
    Info->ptMinTrackSize = {Outer.right - Outer.left, Outer.bottom - Outer.top};
}

void TFrmMain::OnDpiChanged(int Dpi, const RECT& Suggested) {
    ApplyDpi(Dpi);
    ::SetWindowPos(FHandle, nullptr, Suggested.left, Suggested.top, Suggested.right - Suggested.left,
                   Suggested.bottom - Suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    AlignForm();
}

// ---------------------------------------------------------------- lifecycle

void TFrmMain::FormCreate() {
    ::AppendMenuA(::GetSystemMenu(FHandle, FALSE), 0, kIdmAbout, LoadStr(TStringId::sAboutMenuItem).c_str());
}

void TFrmMain::CheckPlatform() {
    TPlatformVersion Version;
    FServices.QueryPlatformVersion(Version);
    const TPlatformCheck Check = WindowsPlatformCheck(Version.PlatformId, Version.MajorVersion, Version.MinorVersion);
    if (!Check.Accepted) {
        FServices.ShowMessage(FHandle, PlatformMessage(), LoadStr(TStringId::sAppTitle), MB_OK);
        // Closed once the show is over: the window is still being shown here.
        ::PostMessageA(FHandle, WM_CLOSE, 0, 0);
        FPlatformRefused = true;
        return;
    }
    StatusBar.SetPanelText(1, Check.PanelText);
}

void TFrmMain::WriteIntroText() {
    for (const TStyledAppend& Append : IntroText())
        MemoHint.AppendLine(Append.Text, Append.Bold, Append.Underline, ColorRef(Append.Color));
    MemoHint.ScrollToTop();
}

void TFrmMain::FormShow() {
    CheckPlatform();
    if (FPlatformRefused)
        return;
    WriteIntroText();
    btnReloadClick();
    ::SetWindowTextA(btnReload, LoadStr(TStringId::sCaptionReload).c_str());
    ::SetWindowTextA(btnReport, LoadStr(TStringId::sCaptionReport).c_str());
    for (int Row = 0; Row < kSheetRows; ++Row)
        StringGrid.SetCells(0, Row, RowLabel(Row));
    pnlDetailsResize();
    pnlTitleResize();
    pnlToolResize();
}

void TFrmMain::FormClose() { FServices.OpenUrl(ExitPageAddress(*FServices.ProgramDirectory)); }

void TFrmMain::MemoHintMouseUp() {
    if (MemoHint.Line(0) == IntroHeading())
        FServices.OpenUrl(ProductPageAddress());
}

// ---------------------------------------------------------------- catalogue

HTREEITEM TFrmMain::ItemAt(std::size_t Index) const { return Index < FItems.size() ? FItems[Index] : nullptr; }

const TCatalogueNode* TFrmMain::NodeOf(HTREEITEM Item) const {
    if (!Item)
        return nullptr;
    TVITEMA Entry{};
    Entry.mask = TVIF_PARAM | TVIF_HANDLE;
    Entry.hItem = Item;
    if (!::SendMessageA(TreeView, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&Entry)))
        return nullptr;
    return reinterpret_cast<const TCatalogueNode*>(Entry.lParam);
}

void TFrmMain::ClearTree() {
    // The entries point into the catalogue: they go before its nodes do.
    FTreeEventsHeld = true;
    ::SendMessageA(TreeView, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    FItems.clear();
    FItemUnderMouse = nullptr;
    FTreeEventsHeld = false;
}

void TFrmMain::FillTree() {
    FTreeEventsHeld = true;
    ::SendMessageA(TreeView, WM_SETREDRAW, FALSE, 0);
    std::unordered_map<const TCatalogueNode*, HTREEITEM> ItemOf;
    const std::vector<const TCatalogueNode*>& Order = FCatalogue->TreeOrder();
    FItems.reserve(Order.size());
    // Tree order puts every parent before its children.
    for (const TCatalogueNode* Node : Order) {
        TVINSERTSTRUCTA Insert{};
        const auto Parent = Node->Parent() ? ItemOf.find(Node->Parent()) : ItemOf.end();
        Insert.hParent = Parent != ItemOf.end() ? Parent->second : TVI_ROOT;
        Insert.hInsertAfter = TVI_LAST;
        Insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
        Insert.item.pszText = const_cast<char*>(Node->Text.c_str());
        Insert.item.iImage = Node->ImageIndex;
        Insert.item.iSelectedImage = Node->SelectedIndex;
        Insert.item.lParam = reinterpret_cast<LPARAM>(Node);
        const auto Item = reinterpret_cast<HTREEITEM>(
            ::SendMessageA(TreeView, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&Insert)));
        ItemOf.emplace(Node, Item);
        FItems.push_back(Item);
    }
    for (std::size_t I = 0; I < Order.size(); ++I)
        if (Order[I]->Expanded && !Order[I]->Children().empty())
            ::SendMessageA(TreeView, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(FItems[I]));
    ::SendMessageA(TreeView, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(TreeView, nullptr, TRUE);
    FTreeEventsHeld = false;
}

void TFrmMain::btnReloadClick() {
    // The reload runs on this thread and the window does not respond meanwhile:
    // the wait cursor says so.
    const HCURSOR Previous = ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
    const bool HadSelection = ::SendMessageA(TreeView, TVM_GETNEXTITEM, TVGN_CARET, 0) != 0;
    ClearTree();
    // Icons of the previous reload are no longer shown anywhere; the two
    // motifs stay, and both lists stay aligned.
    ImageList.Trim(2);
    ImageListLarge.Trim(2);
    const TReloadStatus Status = FCatalogue->ReloadCatalogue();
    StatusBar.SetPanelText(2, Status.PrivilegeStatus);
    FillTree();
    StatusBar.SetPanelText(0, Status.ProcessCount);
    // The selection went with the old entries: a change like any other, which
    // hides the help and leaves the sheet as it is.
    if (HadSelection)
        TreeViewChange();
    if (FHandle)
        FLateVerdicts->Start();
    ::SetCursor(Previous);
}

void TFrmMain::VerdictsArrived() {
    FLateVerdicts->Deliver();
    // The title's tooltip follows its process; a tip on show takes its new text.
    const auto Selected = reinterpret_cast<HTREEITEM>(::SendMessageA(TreeView, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (const TCatalogueNode* Node = NodeOf(Selected); Node && Node->Data())
        FTitleExplanation = Node->Data()->Explanation;
    ::SendMessageA(ToolTips, TTM_UPDATE, 0, 0);
}

void TFrmMain::btnReportClick() {
    if (!SaveDialog.Execute(FHandle))
        return;
    const std::string FileName = ReportFileName(SaveDialog.FileName);
    try {
        SetHintVisible(false);
        WriteReport(*FCatalogue, FileName);
    } catch (const std::exception& Error) {
        FServices.ShowMessage(FHandle, Error.what(), LoadStr(TStringId::sAppTitle), MB_OK | MB_ICONERROR);
    }
}

// ---------------------------------------------------------------- painting

void TFrmMain::PaintBoxHeaderPaint(HDC Canvas) {
    const int W = PaintBoxHeader.Width();
    const int H = PaintBoxHeader.Height();
    if (W <= 0)
        return;
    const TSelection Pen(Canvas, ::GetStockObject(DC_PEN));
    for (int I = 1; I <= W; ++I) {
        const int X = W - I;
        const int Gray = GradientGray(I, W);
        ::SetDCPenColor(Canvas, PALETTERGB(Gray, Gray, Gray));
        ::MoveToEx(Canvas, X, 0, nullptr);
        ::LineTo(Canvas, X, H + 1);  // the end point is not drawn: rows 0 to H
    }
}

void TFrmMain::pnlToolResize() {
    const TPoint At = LogoPosition(pnlTool.ClientWidth(), pnlTool.ClientHeight(), imgLogo.Width(), imgLogo.Height());
    imgLogo.SetBounds(At.X, At.Y, imgLogo.Width(), imgLogo.Height());
}

void TFrmMain::pnlTitleResize() {
    const TPoint At = TitleLabelPosition(pnlTitle.ClientWidth(), pnlTitle.ClientHeight(), lblTitle.Width(),
                                         lblTitle.Height(), imgIcon.Left(), imgIcon.Width());
    lblTitle.SetBounds(At.X, At.Y, lblTitle.Width(), lblTitle.Height());
}

void TFrmMain::pnlDetailsResize() {
    const TWindowDc Dc(StringGrid.Handle());
    const TSelection Font(Dc.Get(), StringGrid.Font());
    const std::string& Widest = WidestRowLabel();
    SIZE Extent{};
    ::GetTextExtentPoint32A(Dc.Get(), Widest.c_str(), static_cast<int>(Widest.size()), &Extent);
    // The grid's size from the layout: a scroll bar it shows while it is being
    // resized is not taken for one it keeps.
    const int RowsHeight = StringGrid.RowCount() * (StringGrid.DefaultRowHeight() + StringGrid.GridLineWidth());
    const TColumnWidths Widths =
        SheetColumnWidths(Extent.cx, DetailsLayout().Grid.Size(), RowsHeight, ScrollBarSize(FDpi));
    StringGrid.SetColWidths(0, Widths.Label);
    StringGrid.SetColWidths(1, Widths.Value);
}

LRESULT TFrmMain::TreeCustomDraw(NMTVCUSTOMDRAW* Draw) {
    switch (Draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
        // An entry counts as drawn selected only while the tree shows its
        // highlight, that is while it has the focus.
        const bool Selected = (Draw->nmcd.uItemState & CDIS_SELECTED) && ::GetFocus() == TreeView;
        const auto* Node = FTreeEventsHeld ? nullptr : reinterpret_cast<const TCatalogueNode*>(Draw->nmcd.lItemlParam);
        bool DefaultDraw = true;
        TreeViewCustomDrawItem(Node, Selected, Draw->clrText, DefaultDraw);
        return DefaultDraw ? CDRF_DODEFAULT : CDRF_SKIPDEFAULT;
    }
    default:
        return CDRF_DODEFAULT;
    }
}

void TFrmMain::TreeViewCustomDrawItem(const TCatalogueNode* Node, bool Selected, COLORREF& TextColor,
                                      bool& DefaultDraw) {
    const std::optional<TColor> Color = TreeTextColor(Node ? Node->Data() : nullptr, Selected);
    if (Color)
        TextColor = ColorRef(*Color);
    DefaultDraw = true;
}

void TFrmMain::TreeViewEditing(const TCatalogueNode*, bool& AllowEdit) { AllowEdit = false; }

// ---------------------------------------------------------------- tooltips

void TFrmMain::CreateToolTips() {
    ToolTips = ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, FHandle, nullptr,
                                 ::GetModuleHandleA(nullptr), nullptr);
    // Both tools ask for their text when the tip is about to show
    // (TTN_GETDISPINFO); the labels and the shape of the title are drawn by
    // pnlTitle, so its tool covers them.
    for (HWND Tool : {TreeView, pnlTitle.Handle()}) {
        TTTOOLINFOA Info{};
        Info.cbSize = sizeof Info;
        Info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        Info.hwnd = FHandle;
        Info.uId = reinterpret_cast<UINT_PTR>(Tool);
        Info.lpszText = LPSTR_TEXTCALLBACKA;
        ::SendMessageA(ToolTips, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&Info));
    }
    // The tree is one tool for all its entries: the entry under the mouse is
    // followed here, and a tip shown for another entry goes.
    ::SetWindowSubclass(TreeView, TreeSubclassProc, 0, reinterpret_cast<DWORD_PTR>(this));
}

const std::string& TFrmMain::ToolTipText(UINT_PTR Tool) const {
    static const std::string None;
    if (Tool == reinterpret_cast<UINT_PTR>(pnlTitle.Handle()))
        return FTitleExplanation;
    const TCatalogueNode* Node = FTreeEventsHeld ? nullptr : NodeOf(FItemUnderMouse);
    return Node && Node->Data() ? Node->Data()->Explanation : None;
}

LRESULT CALLBACK TFrmMain::TreeSubclassProc(HWND Window, UINT Message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR Self) {
    auto& Form = *reinterpret_cast<TFrmMain*>(Self);
    if (Message == WM_MOUSEMOVE) {
        TVHITTESTINFO Hit{};
        Hit.pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        auto Item = reinterpret_cast<HTREEITEM>(::SendMessageA(Window, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&Hit)));
        if (!(Hit.flags & TVHT_ONITEM))
            Item = nullptr;
        if (Item != Form.FItemUnderMouse) {
            Form.FItemUnderMouse = Item;
            ::SendMessageA(Form.ToolTips, TTM_POP, 0, 0);
        }
    } else if (Message == WM_SYSKEYDOWN || Message == WM_SYSKEYUP || Message == WM_SYSCHAR) {
        // Wine's tree view turns system keys into TVN_KEYDOWN and keeps them,
        // so Alt+F4 and the system menu's keys never reach the window; the
        // tree has no use for them, so they go where Windows sends them.
        return ::DefWindowProcA(Window, Message, wParam, lParam);
    } else if (Message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(Window, TreeSubclassProc, 0);
    }
    return ::DefSubclassProc(Window, Message, wParam, lParam);
}

// ---------------------------------------------------------------- sheet

void TFrmMain::TreeViewChange() {
    SetHintVisible(false);
    const auto Selected = reinterpret_cast<HTREEITEM>(::SendMessageA(TreeView, TVM_GETNEXTITEM, TVGN_CARET, 0));
    const TCatalogueNode* Node = NodeOf(Selected);
    if (!Node || !Node->Data())
        return;
    const TNodeData& Data = *Node->Data();
    lblTitle.SetCaption(Node->Text);
    pnlTitleResize();
    FTitleExplanation = Data.Explanation;
    shpTitle.SetBrushColor(ColorRef(RiskColor(Data, false)));

    // A new picture of the large list's size, white where the icon leaves it
    // empty; the bottom-left pixel's colour is then drawn transparent.
    imgIcon.SetPicture(TBitmapHandle());
    const int Size = ImageListLarge.Width();
    TPicture Blank(Size, Size, OpaquePixel(255, 255, 255));
    TBitmapHandle Picture = PictureBitmap(Blank, 24);
    if (Picture) {
        const TMemoryDc Dc(::CreateCompatibleDC(nullptr));
        const TSelection Selection(Dc.Get(), Picture.Get());
        ImageListLarge.Draw(Dc.Get(), 0, 0, Node->ImageIndex);
    }
    imgIcon.SetPicture(std::move(Picture));

    const TSheetTexts Values = SheetValues(Data, Node->Parent() ? &Node->Parent()->Text : nullptr);
    for (int Row = 0; Row < kSheetRows; ++Row)
        StringGrid.SetCells(1, Row, Values[static_cast<std::size_t>(Row)]);
}

void TFrmMain::StringGridDrawCell(int ACol, int ARow, const RECT& Rect, unsigned State, HDC Canvas) {
    const TCellColors Colors = CellColors((State & gdFocused) != 0, ACol);
    const COLORREF Background = ColorRef(Colors.Background);
    FillSolid(Canvas, Rect, Background);
    ::SetTextColor(Canvas, ColorRef(Colors.Text));
    ::SetBkColor(Canvas, Background);
    ::SetBkMode(Canvas, OPAQUE);
    const std::string& Text = StringGrid.Cells(ACol, ARow);
    ::ExtTextOutA(Canvas, Rect.left + Scaled(kCellTextOffset), Rect.top + Scaled(kCellTextOffset),
                  ETO_CLIPPED | ETO_OPAQUE, &Rect, Text.c_str(), static_cast<UINT>(Text.size()), nullptr);
}

void TFrmMain::StringGridSelectCell(int, int ARow, bool&) {
    MemoHint.Clear();
    TStyledText Help = FieldHelpText(ARow);
    Help[0].Text = StringGrid.Cells(0, ARow);  // the row's label as the grid shows it
    for (const TStyledAppend& Append : Help)
        MemoHint.AppendLine(Append.Text, Append.Bold, Append.Underline, ColorRef(Append.Color));
    // The help is read from its first line, the label.
    MemoHint.ScrollToTop();
    SetHintVisible(true);
}

}  // namespace quorvane::win32
