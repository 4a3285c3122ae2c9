// The main window in plain Win32: the process tree, the detail sheet with its
// field help, the toolbar with reload and report, the status bar.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/Catalogue.h"
#include "catalogue/Color.h"
#include "probes/win32/SystemProbes.h"
#include "catalogue/LateVerdicts.h"
#include "ui/rules/FormLayout.h"
#include "ui/win32/Controls.h"
#include "ui/win32/Handles.h"
#include "versioninfo/StVInfo.h"
#include "versioninfo/VersionApi.h"

namespace quorvane::win32 {

// The save-file dialog of the report. Run shows the dialog for the prepared
// structure (GetSaveFileNameA by default).
class TSaveDialog {
public:
    std::string Filter;  // "Description|pattern" pairs, separated by "|"
    std::string Title;
    std::string FileName;
    std::function<bool(OPENFILENAMEA& Dialog)> Run;
    // True with FileName set when the user chose a name.
    bool Execute(HWND Owner);
};

// What the window needs from outside; every member left empty gets the
// system's own.
struct TFrmMainServices {
    // Opens an address in the user's browser (HlinkNavigateString); the result is not examined.
    std::function<void(const std::string& Address)> OpenUrl;
    // A modal message box (MessageBoxA): owner, text, caption, MB_* flags.
    std::function<void(HWND Owner, const std::string& Text, const std::string& Caption, UINT Flags)> ShowMessage;
    // The version information of the platform check (GetVersionExA).
    std::function<bool(TPlatformVersion& Version)> QueryPlatformVersion;
    std::optional<std::string> ProgramDirectory;  // the running program's folder
    std::optional<int> Dpi;  // the resolution to lay out for; the monitor's otherwise
    bool EndsApplication = false;  // the message loop ends with the window
    // Verifies the image files' signatures (Authenticode), off the window's thread.
    std::shared_ptr<ISignatureCheck> Signatures;
    // Reads the loaded libraries' version data off the window's thread.
    std::shared_ptr<IVersionApi> ModuleVersions;
};

class TFrmMain {
public:
    TFrmMain(IProcessSource& Source, IVersionApi& VersionApi, TFrmMainServices Services = {});
    ~TFrmMain();
    TFrmMain(const TFrmMain&) = delete;
    TFrmMain& operator=(const TFrmMain&) = delete;

    HWND Handle() const { return FHandle; }
    // Shows the window; the first show runs FormShow.
    void Show(int CmdShow = SW_SHOWNORMAL);
    int Dpi() const { return FDpi; }

    // Components, in the order of the window description.
    TPanel pnlTool;
    TPaintBox PaintBoxHeader{"PaintBoxHeader"};
    TImage imgLogo{"imgLogo", true, false, true};
    HWND btnReload = nullptr;
    HWND btnReport = nullptr;
    TStatusBar StatusBar;
    TPanel pnlMain;
    HWND TreeView = nullptr;
    TSplitter Splitter1;
    TPanel pnlDetails;
    TStringGrid StringGrid;
    TPanel pnlTitle;
    TShape shpTitle{"shpTitle"};
    TImage imgIcon{"imgIcon", true, true, true};
    TLabel lblTitle{"lblTitle"};
    TPanel pnlHint;
    TRichMemo MemoHint;
    TStVersionInfo StVersionInfo;
    TImageList ImageList;
    TImageList ImageListLarge;
    TSaveDialog SaveDialog;
    // The explanation of a rating as a tooltip: of the tree entry under the
    // mouse (the tool of TreeView) and of the selected process's title (the
    // tool of pnlTitle).
    HWND ToolTips = nullptr;

    // Handlers.
    void FormCreate();
    void FormShow();
    void FormClose();
    void btnReloadClick();
    void btnReportClick();
    void PaintBoxHeaderPaint(HDC Canvas);
    void pnlToolResize();
    void pnlTitleResize();
    void pnlDetailsResize();
    void TreeViewChange();
    void TreeViewCustomDrawItem(const TCatalogueNode* Node, bool Selected, COLORREF& TextColor, bool& DefaultDraw);
    void TreeViewEditing(const TCatalogueNode* Node, bool& AllowEdit);
    void StringGridDrawCell(int ACol, int ARow, const RECT& Rect, unsigned State, HDC Canvas);
    void StringGridSelectCell(int ACol, int ARow, bool& CanSelect);
    void MemoHintMouseUp();

    const TCatalogue& Catalogue() const { return *FCatalogue; }
    // The tree entry of the catalogue node at tree-order position Index; null outside.
    HTREEITEM ItemAt(std::size_t Index) const;
    // The catalogue node a tree entry shows.
    const TCatalogueNode* NodeOf(HTREEITEM Item) const;
    // Font of the window, of the tree (pnlMain's) and of the title.
    HFONT Font() const { return FFont.Get(); }
    HFONT TreeFont() const { return FTreeFont.Get(); }
    HFONT TitleFont() const { return FTitleFont.Get(); }
    // Width of pnlMain as the splitter leaves it; a narrow window shows it narrower.
    int MainWidth() const { return FMainWidth; }
    // True while verdicts on the last reload's files (signatures, loaded libraries) are being computed.
    bool AwaitingVerdicts() const { return FLateVerdicts->Busy(); }

    static LRESULT CALLBACK WindowProc(HWND Window, UINT Message, WPARAM wParam, LPARAM lParam);

private:
    class TIcons;

    LRESULT HandleMessage(UINT Message, WPARAM wParam, LPARAM lParam);
    BOOL OnCreate(HWND Window, LPCREATESTRUCT Create);
    void OnSize(HWND Window, UINT State, int Width, int Height);
    void OnShowWindow(HWND Window, BOOL Show, UINT Status);
    void OnClose(HWND Window);
    void OnDestroy(HWND Window);
    void OnSysCommand(HWND Window, UINT Command, int X, int Y);
    void OnCommand(HWND Window, int Id, HWND Control, UINT Code);
    LRESULT OnNotify(HWND Window, int Id, NMHDR* Header);
    void OnGetMinMaxInfo(HWND Window, LPMINMAXINFO Info);
    void OnActivate(HWND Window, UINT State, HWND Other, BOOL Minimized);
    void OnSetFocus(HWND Window, HWND Previous);
    void OnDpiChanged(int Dpi, const RECT& Suggested);

    void CreateComponents();
    void ApplyDpi(int Dpi);
    // A length of the window description at the window's resolution.
    int Scaled(int DesignPixels) const;
    TSize ClientSize() const;
    void AlignForm();
    TDetailsLayout DetailsLayout() const;
    void AlignDetails();
    // Gives the focus back to the control that had it, or to the first of the focus order.
    void RestoreFocus();
    void SetHintVisible(bool Visible);
    void CheckPlatform();
    void WriteIntroText();
    void FillTree();
    void ClearTree();
    // The verdicts that arrived since the last call, into the records and the title's tooltip.
    void VerdictsArrived();
    LRESULT TreeCustomDraw(NMTVCUSTOMDRAW* Draw);
    void CreateToolTips();
    // The text of a tooltip's tool: the explanation of the entry under the mouse or of the title.
    const std::string& ToolTipText(UINT_PTR Tool) const;
    static LRESULT CALLBACK TreeSubclassProc(HWND Window, UINT Message, WPARAM wParam, LPARAM lParam,
                                             UINT_PTR Id, DWORD_PTR Self);

    IProcessSource& FSource;
    TFrmMainServices FServices;
    HWND FHandle = nullptr;
    int FDpi = 96;
    TFormMetrics FMetrics;  // at FDpi
    // pnlMain's width as the user left it; the layout gives it less while the window is too narrow.
    int FMainWidth = 345;
    HWND FFocusedControl = nullptr;  // the control that had the focus when the window was last deactivated
    bool FShown = false;
    bool FTreeEventsHeld = false;  // while the tree is refilled or destroyed
    bool FPlatformRefused = false;
    TModuleHandle FRichEditLibrary;
    TFontHandle FFont;
    TFontHandle FTreeFont;
    TFontHandle FTitleFont;
    TIconHandle FIconLarge;
    TIconHandle FIconSmall;
    std::unique_ptr<TIcons> FIcons;
    std::unique_ptr<TCatalogue> FCatalogue;
    std::unique_ptr<TLateVerdicts> FLateVerdicts;  // computed after each reload, kept across reloads
    std::vector<HTREEITEM> FItems;  // by tree-order position
    HTREEITEM FItemUnderMouse = nullptr;
    std::string FTitleExplanation;
    std::wstring FWideTip;  // a tooltip text handed out in UTF-16
};

// A TColor as the system draws it now.
COLORREF ColorRef(const TColor& Color);

}  // namespace quorvane::win32
