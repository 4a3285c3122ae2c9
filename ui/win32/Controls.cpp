#include "ui/win32/Controls.h"

#include <windowsx.h>
#include <richedit.h>

#include <algorithm>

#include "ui/win32/Dpi.h"
#include "ui/win32/Drawing.h"
#include "ui/win32/WindowClass.h"

namespace quorvane::win32 {
namespace {

constexpr COLORREF kGridLineColor = RGB(192, 192, 192);  // silver, as the grid has always drawn its lines

HINSTANCE Instance() { return ::GetModuleHandleA(nullptr); }

// Paints through an off-screen bitmap of the dirty area, so that a window
// drawn in layers (background, lines, cells) does not flicker.
template <typename TPaint>
void PaintBuffered(HWND Window, TPaint&& Paint) {
    const TPaintDc Screen(Window);
    const RECT& Dirty = Screen.Dirty();
    const int Width = Dirty.right - Dirty.left;
    const int Height = Dirty.bottom - Dirty.top;
    if (Width <= 0 || Height <= 0)
        return;
    const TMemoryDc Buffer(::CreateCompatibleDC(Screen.Get()));
    const TBitmapHandle Bitmap(::CreateCompatibleBitmap(Screen.Get(), Width, Height));
    if (!Buffer || !Bitmap) {
        Paint(Screen.Get(), Dirty);
        return;
    }
    {
        const TSelection Selected(Buffer.Get(), Bitmap.Get());
        ::SetViewportOrgEx(Buffer.Get(), -Dirty.left, -Dirty.top, nullptr);
        Paint(Buffer.Get(), Dirty);
        ::SetViewportOrgEx(Buffer.Get(), 0, 0, nullptr);
        ::BitBlt(Screen.Get(), Dirty.left, Dirty.top, Width, Height, Buffer.Get(), 0, 0, SRCCOPY);
    }
}

RECT ClientRect(HWND Window) {
    RECT Client{};
    ::GetClientRect(Window, &Client);
    return Client;
}

// Tab leaves the memo for the next control instead of being swallowed by it,
// and tabbing in leaves the memo's selection where it was: without
// DLGC_HASSETSEL the dialog manager does not select all of its text.
LRESULT CALLBACK MemoSubclass(HWND Window, UINT Message, WPARAM wParam, LPARAM lParam, UINT_PTR Id, DWORD_PTR) {
    if (Message == WM_GETDLGCODE) {
        LRESULT Code = ::DefSubclassProc(Window, Message, wParam, lParam) & ~DLGC_HASSETSEL;
        const auto* Key = reinterpret_cast<const MSG*>(lParam);
        if (Key && Key->message == WM_KEYDOWN && Key->wParam == VK_TAB)
            Code &= ~(DLGC_WANTTAB | DLGC_WANTALLKEYS | DLGC_WANTMESSAGE);
        return Code;
    }
    if (Message == WM_NCDESTROY)
        ::RemoveWindowSubclass(Window, MemoSubclass, Id);
    return ::DefSubclassProc(Window, Message, wParam, lParam);
}

}  // namespace

// ---------------------------------------------------------------- TCustomControl

TCustomControl::~TCustomControl() {
    if (FHandle)
        ::DestroyWindow(FHandle);
}

RECT TCustomControl::BoundsRect() const {
    RECT Bounds{};
    if (!FHandle)
        return Bounds;
    ::GetWindowRect(FHandle, &Bounds);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(FHandle), reinterpret_cast<POINT*>(&Bounds), 2);
    return Bounds;
}

int TCustomControl::ClientWidth() const { return ClientRect(FHandle).right; }
int TCustomControl::ClientHeight() const { return ClientRect(FHandle).bottom; }

void TCustomControl::CreateHandle(const char* ClassName, WNDPROC Procedure, HWND Parent, DWORD Style, DWORD ExStyle,
                                  LPCSTR Cursor) {
    RegisterWindowClass({ClassName, Procedure, CS_HREDRAW | CS_VREDRAW, Cursor});  // bevels and bars sit at the edges
    ::CreateWindowExA(ExStyle, ClassName, "", Style | WS_CHILD, 0, 0, 0, 0, Parent, nullptr, Instance(),
                      static_cast<TCustomControl*>(this));
}

template <typename TControl>
LRESULT TCustomControl::Dispatch(HWND Window, UINT Message, WPARAM wParam, LPARAM lParam,
                                 LRESULT (TControl::*Handle)(UINT, WPARAM, LPARAM)) {
    const auto Handler = [Handle](TCustomControl& Object, UINT Message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        auto& Self = static_cast<TControl&>(Object);
        // Every control paints the whole of itself, in the one function that
        // WM_PAINT and WM_PRINTCLIENT share.
        if (Message == WM_ERASEBKGND)
            return TRUE;
        if (Message == WM_PRINTCLIENT) {
            Self.Paint(reinterpret_cast<HDC>(wParam), ClientRect(Self.Handle()));
            return 0;
        }
        return (Self.*Handle)(Message, wParam, lParam);
    };
    return DispatchToObject(Window, Message, wParam, lParam, &TCustomControl::FHandle, Handler);
}

// ---------------------------------------------------------------- graphic controls

void TGraphicControl::SetBounds(int Left, int Top, int Width, int Height) {
    const RECT Bounds{Left, Top, Left + std::max(0, Width), Top + std::max(0, Height)};
    if (EqualRect(&Bounds, &FBounds))
        return;
    Invalidate();
    FBounds = Bounds;
    Invalidate();
}

void TGraphicControl::Invalidate() const {
    if (FParent && FParent->Handle())
        ::InvalidateRect(FParent->Handle(), &FBounds, FALSE);
}

void TPaintBox::Paint(HDC Dc) {
    if (!OnPaint)
        return;
    const TSavedDc Saved(Dc);
    ::OffsetViewportOrgEx(Dc, Left(), Top(), nullptr);
    OnPaint(Dc);
}

void TImage::SetPicture(TBitmapHandle Picture) {
    FPicture = std::move(Picture);
    FPictureSize = {};
    if (FPicture) {
        BITMAP Info{};
        ::GetObjectA(FPicture.Get(), sizeof Info, &Info);
        FPictureSize = {Info.bmWidth, Info.bmHeight};
        const TMemoryDc Dc(::CreateCompatibleDC(nullptr));
        const TSelection Selected(Dc.Get(), FPicture.Get());
        FTransparentColor = ::GetPixel(Dc.Get(), 0, FPictureSize.cy - 1);
    }
    Invalidate();
}

RECT TImage::PictureRect() const {
    if (!FPicture)
        return {};
    if (FStretch)
        return BoundsRect();
    int X = Left();
    int Y = Top();
    if (FCenter) {
        X += (Width() - FPictureSize.cx) / 2;
        Y += (Height() - FPictureSize.cy) / 2;
    }
    return {X, Y, X + FPictureSize.cx, Y + FPictureSize.cy};
}

void TImage::Paint(HDC Dc) {
    if (!FPicture)
        return;
    const RECT Target = PictureRect();
    const TMemoryDc Source(::CreateCompatibleDC(Dc));
    const TSelection Selected(Source.Get(), FPicture.Get());
    const int Width = Target.right - Target.left;
    const int Height = Target.bottom - Target.top;
    if (FTransparent) {
        ::TransparentBlt(Dc, Target.left, Target.top, Width, Height, Source.Get(), 0, 0, FPictureSize.cx,
                         FPictureSize.cy, FTransparentColor);
    } else {
        ::SetStretchBltMode(Dc, COLORONCOLOR);
        ::StretchBlt(Dc, Target.left, Target.top, Width, Height, Source.Get(), 0, 0, FPictureSize.cx,
                     FPictureSize.cy, SRCCOPY);
    }
}

void TShape::SetBrushColor(COLORREF Color) {
    FBrushColor = Color;
    Invalidate();
}

void TShape::Paint(HDC Dc) { FillSolid(Dc, BoundsRect(), FBrushColor); }

void TLabel::SetCaption(const std::string& Caption) {
    FCaption = Caption;
    AdjustSize();
    Invalidate();
}

void TLabel::SetFont(HFONT Font) {
    FFont = Font;
    AdjustSize();
    Invalidate();
}

void TLabel::AdjustSize() {
    const TWindowDc Screen(nullptr);
    const TSelection Selected(Screen.Get(), FFont ? FFont : ::GetStockObject(DEFAULT_GUI_FONT));
    // An empty label keeps the size of a blank, so it does not vanish.
    const std::string Measured = FCaption.empty() ? std::string(" ") : FCaption;
    RECT Extent{0, 0, 0, 0};
    ::DrawTextA(Screen.Get(), Measured.c_str(), static_cast<int>(Measured.size()), &Extent,
                DT_CALCRECT | DT_EXPANDTABS | DT_NOPREFIX);
    SetBounds(Left(), Top(), Extent.right, Extent.bottom);
}

void TLabel::Paint(HDC Dc) {
    const TSelection Selected(Dc, FFont ? FFont : ::GetStockObject(DEFAULT_GUI_FONT));
    ::SetBkMode(Dc, TRANSPARENT);
    ::SetTextColor(Dc, ::GetSysColor(COLOR_WINDOWTEXT));
    RECT Bounds = BoundsRect();
    ::DrawTextA(Dc, FCaption.c_str(), static_cast<int>(FCaption.size()), &Bounds,
                DT_CENTER | DT_EXPANDTABS | DT_NOPREFIX);
}

// ---------------------------------------------------------------- TPanel

void TPanel::Create(HWND Parent, TBevel Outer, TBevel Inner, int BorderWidth) {
    FOuter = Outer;
    FInner = Inner;
    FBorderWidth = BorderWidth;
    // Tab moves through the panel's controls as through the window's own.
    CreateHandle("QuorvanePanel", WindowProc, Parent, WS_VISIBLE | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, IDC_ARROW);
}

void TPanel::SetBorderWidth(int BorderWidth) {
    FBorderWidth = BorderWidth;
    if (FHandle)
        ::InvalidateRect(FHandle, nullptr, FALSE);
}

int TPanel::Inset() const {
    return (FOuter != TBevel::bvNone ? 1 : 0) + FBorderWidth + (FInner != TBevel::bvNone ? 1 : 0);
}

RECT TPanel::InnerRect() const {
    RECT Inner = ClientRect(FHandle);
    ::InflateRect(&Inner, -Inset(), -Inset());
    return Inner;
}

void TPanel::Add(TGraphicControl& Control) {
    Control.FParent = this;
    FControls.push_back(&Control);
    Control.Invalidate();
}

bool TPanel::Visible() const { return FHandle && (::GetWindowLongPtrA(FHandle, GWL_STYLE) & WS_VISIBLE); }

void TPanel::SetVisible(bool Visible) { ::ShowWindow(FHandle, Visible ? SW_SHOWNA : SW_HIDE); }

void TPanel::Paint(HDC Dc, const RECT& Dirty) {
    RECT Edge = ClientRect(FHandle);
    FillSolid(Dc, Edge, ::GetSysColor(COLOR_BTNFACE));
    const auto EdgeKind = [](TBevel Bevel) { return Bevel == TBevel::bvRaised ? BDR_RAISEDINNER : BDR_SUNKENOUTER; };
    if (FOuter != TBevel::bvNone)
        ::DrawEdge(Dc, &Edge, EdgeKind(FOuter), BF_RECT | BF_ADJUST);
    ::InflateRect(&Edge, -FBorderWidth, -FBorderWidth);
    if (FInner != TBevel::bvNone)
        ::DrawEdge(Dc, &Edge, EdgeKind(FInner), BF_RECT);
    for (TGraphicControl* Control : FControls) {
        RECT Overlap;
        if (!::IntersectRect(&Overlap, &Control->BoundsRect(), &Dirty))
            continue;
        const TSavedDc Saved(Dc);
        ::IntersectClipRect(Dc, Overlap.left, Overlap.top, Overlap.right, Overlap.bottom);
        Control->Paint(Dc);
    }
}

LRESULT CALLBACK TPanel::WindowProc(HWND Window, UINT Message, WPARAM wParam, LPARAM lParam) {
    return Dispatch(Window, Message, wParam, lParam, &TPanel::HandleMessage);
}

LRESULT TPanel::HandleMessage(UINT Message, WPARAM wParam, LPARAM lParam) {
    switch (Message) {
        HANDLE_MSG(FHandle, WM_PAINT, OnPaint);
        HANDLE_MSG(FHandle, WM_SIZE, OnSize);
    case WM_COMMAND:
    case WM_NOTIFY:
        // The window handles the events of all its controls.
        return ::SendMessageA(::GetParent(FHandle), Message, wParam, lParam);
    default:
        return ::DefWindowProcA(FHandle, Message, wParam, lParam);
    }
}

void TPanel::OnPaint(HWND Window) {
    PaintBuffered(Window, [this](HDC Dc, const RECT& Dirty) { Paint(Dc, Dirty); });
}

void TPanel::OnSize(HWND, UINT, int, int) {
    if (OnResize)
        OnResize();
}

// ---------------------------------------------------------------- TSplitter

void TSplitter::Create(HWND Parent) {
    CreateHandle("QuorvaneSplitter", WindowProc, Parent, WS_VISIBLE, 0, IDC_SIZEWE);
}

void TSplitter::Paint(HDC Dc, const RECT&) { FillSolid(Dc, ClientRect(FHandle), ::GetSysColor(COLOR_BTNFACE)); }

LRESULT CALLBACK TSplitter::WindowProc(HWND Window, UINT Message, WPARAM wParam, LPARAM lParam) {
    return Dispatch(Window, Message, wParam, lParam, &TSplitter::HandleMessage);
}

LRESULT TSplitter::HandleMessage(UINT Message, WPARAM wParam, LPARAM lParam) {
    switch (Message) {
        HANDLE_MSG(FHandle, WM_PAINT, OnPaint);
        HANDLE_MSG(FHandle, WM_LBUTTONDOWN, OnLButtonDown);
        HANDLE_MSG(FHandle, WM_MOUSEMOVE, OnMouseMove);
        HANDLE_MSG(FHandle, WM_LBUTTONUP, OnLButtonUp);
    default:
        return ::DefWindowProcA(FHandle, Message, wParam, lParam);
    }
}

void TSplitter::OnPaint(HWND Window) {
    const TPaintDc Dc(Window);
    Paint(Dc.Get(), Dc.Dirty());
}

void TSplitter::OnLButtonDown(HWND Window, BOOL, int X, int, UINT) {
    FGrabX = X;
    ::SetCapture(Window);
}

void TSplitter::OnMouseMove(HWND Window, int X, int, UINT) {
    // The bar follows the pointer, so the grab point stays under it.
    if (::GetCapture() == Window && OnMoved && X != FGrabX)
        OnMoved(X - FGrabX);
}

void TSplitter::OnLButtonUp(HWND Window, int, int, UINT) {
    if (::GetCapture() == Window)
        ::ReleaseCapture();
}

// ---------------------------------------------------------------- TStringGrid

void TStringGrid::Create(HWND Parent, int ColCount, int RowCount) {
    FColCount = ColCount;
    FRowCount = RowCount;
    FCells.assign(static_cast<std::size_t>(ColCount) * RowCount, std::string());
    FColWidths.assign(static_cast<std::size_t>(ColCount), FDefaultColWidth);
    CreateHandle("QuorvaneGrid", WindowProc, Parent, WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL, 0, IDC_ARROW);
    UpdateScrollBars();
}

const std::string& TStringGrid::Cells(int Col, int Row) const {
    static const std::string Empty;
    if (Col < 0 || Row < 0 || Col >= FColCount || Row >= FRowCount)
        return Empty;
    return FCells[static_cast<std::size_t>(Row) * FColCount + Col];
}

void TStringGrid::SetCells(int Col, int Row, const std::string& Text) {
    if (Col < 0 || Row < 0 || Col >= FColCount || Row >= FRowCount)
        return;
    FCells[static_cast<std::size_t>(Row) * FColCount + Col] = Text;
    const RECT Cell = CellRect(Col, Row);
    ::InvalidateRect(FHandle, &Cell, FALSE);
}

int TStringGrid::ColWidths(int Col) const {
    return Col >= 0 && Col < FColCount ? FColWidths[static_cast<std::size_t>(Col)] : 0;
}

void TStringGrid::SetColWidths(int Col, int Width) {
    if (Col < 0 || Col >= FColCount)
        return;
    FColWidths[static_cast<std::size_t>(Col)] = std::max(0, Width);
    UpdateScrollBars();
    ::InvalidateRect(FHandle, nullptr, FALSE);
}

void TStringGrid::SetDefaultSizes(int ColWidth, int RowHeight) {
    // As a new default width does, it resets every column.
    FDefaultColWidth = ColWidth;
    FColWidths.assign(static_cast<std::size_t>(FColCount), ColWidth);
    FRowHeight = std::max(1, RowHeight);
    UpdateScrollBars();
    ::InvalidateRect(FHandle, nullptr, FALSE);
}

void TStringGrid::SetFont(HFONT Font) {
    FFont = Font;
    ::InvalidateRect(FHandle, nullptr, FALSE);
}

RECT TStringGrid::CellRect(int Col, int Row) const {
    int Left = -FLeftPixel;
    for (int I = 0; I < Col && I < FColCount; ++I)
        Left += FColWidths[static_cast<std::size_t>(I)] + FLineWidth;
    const int Top = (Row - FTopRow) * (FRowHeight + FLineWidth);
    return {Left, Top, Left + ColWidths(Col), Top + FRowHeight};
}

int TStringGrid::ContentWidth() const {
    int Width = 0;
    for (int ColWidth : FColWidths)
        Width += ColWidth + FLineWidth;
    return Width;
}

int TStringGrid::ContentHeight() const { return FRowCount * (FRowHeight + FLineWidth); }

int TStringGrid::VisibleRows() const { return std::max(1, ClientHeight() / (FRowHeight + FLineWidth)); }

bool TStringGrid::VerticalScrollBar() const { return ::GetWindowLongPtrA(FHandle, GWL_STYLE) & WS_VSCROLL; }

bool TStringGrid::HorizontalScrollBar() const { return ::GetWindowLongPtrA(FHandle, GWL_STYLE) & WS_HSCROLL; }

void TStringGrid::UpdateScrollBars() {
    if (!FHandle || FUpdatingScrollBars)
        return;
    FUpdatingScrollBars = true;
    RECT Outer{};
    ::GetWindowRect(FHandle, &Outer);
    const int Width = Outer.right - Outer.left;
    const int Height = Outer.bottom - Outer.top;
    const int Dpi = WindowDpi(FHandle);
    const TScrollBars Shown = NeededScrollBars({Width, Height}, {ContentWidth(), ContentHeight()}, ScrollBarSize(Dpi));
    ::ShowScrollBar(FHandle, SB_VERT, Shown.Vertical);
    ::ShowScrollBar(FHandle, SB_HORZ, Shown.Horizontal);
    FTopRow = std::clamp(FTopRow, 0, std::max(0, FRowCount - VisibleRows()));
    FLeftPixel = std::clamp(FLeftPixel, 0, std::max(0, ContentWidth() - ClientWidth()));
    if (Shown.Vertical) {
        SCROLLINFO Info{sizeof Info, SIF_RANGE | SIF_PAGE | SIF_POS, 0, FRowCount - 1,
                        static_cast<UINT>(VisibleRows()), FTopRow, 0};
        ::SetScrollInfo(FHandle, SB_VERT, &Info, TRUE);
    }
    if (Shown.Horizontal) {
        SCROLLINFO Info{sizeof Info, SIF_RANGE | SIF_PAGE | SIF_POS, 0, ContentWidth() - 1,
                        static_cast<UINT>(ClientWidth()), FLeftPixel, 0};
        ::SetScrollInfo(FHandle, SB_HORZ, &Info, TRUE);
    }
    FUpdatingScrollBars = false;
}

void TStringGrid::ScrollTo(int TopRow, int LeftPixel) {
    TopRow = std::clamp(TopRow, 0, std::max(0, FRowCount - VisibleRows()));
    LeftPixel = std::clamp(LeftPixel, 0, std::max(0, ContentWidth() - ClientWidth()));
    if (TopRow == FTopRow && LeftPixel == FLeftPixel)
        return;
    FTopRow = TopRow;
    FLeftPixel = LeftPixel;
    ::SetScrollPos(FHandle, SB_VERT, FTopRow, TRUE);
    ::SetScrollPos(FHandle, SB_HORZ, FLeftPixel, TRUE);
    ::InvalidateRect(FHandle, nullptr, FALSE);
}

void TStringGrid::ScrollIntoView(int Row) {
    if (Row < FTopRow)
        ScrollTo(Row, FLeftPixel);
    else if (Row >= FTopRow + VisibleRows())
        ScrollTo(Row - VisibleRows() + 1, FLeftPixel);
}

bool TStringGrid::HitTest(int X, int Y, int& Col, int& Row) const {
    if (X < 0 || Y < 0)
        return false;
    Row = FTopRow + Y / (FRowHeight + FLineWidth);
    if (Row >= FRowCount)
        return false;
    int Left = -FLeftPixel;
    for (Col = 0; Col < FColCount; ++Col) {
        const int Right = Left + FColWidths[static_cast<std::size_t>(Col)] + FLineWidth;
        if (X >= Left && X < Right)
            return true;
        Left = Right;
    }
    return false;
}

void TStringGrid::SelectCell(int Col, int Row) {
    if (Col < 0 || Row < 0 || Col >= FColCount || Row >= FRowCount)
        return;
    bool CanSelect = true;
    if (OnSelectCell)
        OnSelectCell(Col, Row, CanSelect);
    if (!CanSelect)
        return;
    FRow = Row;
    ::InvalidateRect(FHandle, nullptr, FALSE);
    ScrollIntoView(Row);
}

void TStringGrid::ClickCell(int Col, int Row) {
    ::SetFocus(FHandle);
    SelectCell(Col, Row);
}

void TStringGrid::Paint(HDC Dc, const RECT& Dirty) {
    const RECT Client = ClientRect(FHandle);
    const bool Focused = ::GetFocus() == FHandle;
    FillSolid(Dc, Dirty, ::GetSysColor(COLOR_BTNFACE));
    const TSelection Font(Dc, FFont ? FFont : ::GetStockObject(DEFAULT_GUI_FONT));
    const int LastCol = FColCount - 1;
    for (int Row = FTopRow; Row < FRowCount; ++Row) {
        if (CellRect(0, Row).top >= Client.bottom)
            break;
        for (int Col = 0; Col < FColCount; ++Col) {
            const RECT Cell = CellRect(Col, Row);
            // The grid lines right of and below the cell.
            FillSolid(Dc, {Cell.right, Cell.top, Cell.right + FLineWidth, Cell.bottom + FLineWidth}, kGridLineColor);
            FillSolid(Dc, {Cell.left, Cell.bottom, Cell.right, Cell.bottom + FLineWidth}, kGridLineColor);
            RECT Overlap;
            if (!::IntersectRect(&Overlap, &Cell, &Dirty))
                continue;
            const unsigned State =
                (Row == FRow ? gdSelected : 0u) | (Row == FRow && Col == 0 && Focused ? gdFocused : 0u);
            const TSavedDc Saved(Dc);
            ::IntersectClipRect(Dc, Cell.left, Cell.top, Cell.right, Cell.bottom);
            if (OnDrawCell) {
                OnDrawCell(Col, Row, Cell, State, Dc);
            } else {
                RECT Text = Cell;
                ::ExtTextOutA(Dc, Cell.left + 2, Cell.top + 2, ETO_CLIPPED | ETO_OPAQUE, &Text,
                              Cells(Col, Row).c_str(), static_cast<UINT>(Cells(Col, Row).size()), nullptr);
            }
        }
    }
    // The whole current row is outlined while the grid has the focus.
    if (Focused && FRow >= FTopRow) {
        const RECT First = CellRect(0, FRow);
        const RECT Last = CellRect(LastCol, FRow);
        const RECT Outline{First.left, First.top, Last.right, Last.bottom};
        ::SetTextColor(Dc, RGB(0, 0, 0));
        ::SetBkColor(Dc, RGB(255, 255, 255));
        ::DrawFocusRect(Dc, &Outline);
    }
}

LRESULT CALLBACK TStringGrid::WindowProc(HWND Window, UINT Message, WPARAM wParam, LPARAM lParam) {
    return Dispatch(Window, Message, wParam, lParam, &TStringGrid::HandleMessage);
}

LRESULT TStringGrid::HandleMessage(UINT Message, WPARAM wParam, LPARAM lParam) {
    switch (Message) {
        HANDLE_MSG(FHandle, WM_PAINT, OnPaint);
        HANDLE_MSG(FHandle, WM_SIZE, OnSize);
        HANDLE_MSG(FHandle, WM_LBUTTONDOWN, OnLButtonDown);
        HANDLE_MSG(FHandle, WM_KEYDOWN, OnKey);
        HANDLE_MSG(FHandle, WM_SETFOCUS, OnFocusChange);
        HANDLE_MSG(FHandle, WM_KILLFOCUS, OnFocusChange);
        HANDLE_MSG(FHandle, WM_VSCROLL, OnVScroll);
        HANDLE_MSG(FHandle, WM_HSCROLL, OnHScroll);
        HANDLE_MSG(FHandle, WM_MOUSEWHEEL, OnMouseWheel);
        HANDLE_MSG(FHandle, WM_GETDLGCODE, OnGetDlgCode);
    default:
        return ::DefWindowProcA(FHandle, Message, wParam, lParam);
    }
}

void TStringGrid::OnPaint(HWND Window) {
    PaintBuffered(Window, [this](HDC Dc, const RECT& Dirty) { Paint(Dc, Dirty); });
}

void TStringGrid::OnSize(HWND, UINT, int, int) { UpdateScrollBars(); }

void TStringGrid::OnLButtonDown(HWND Window, BOOL, int X, int Y, UINT) {
    ::SetFocus(Window);
    int Col = 0;
    int Row = 0;
    if (HitTest(X, Y, Col, Row))
        SelectCell(Col, Row);
}

void TStringGrid::OnKey(HWND, UINT Key, BOOL, int, UINT) {
    int Target = FRow;
    switch (Key) {
    case VK_UP: Target = FRow - 1; break;
    case VK_DOWN: Target = FRow + 1; break;
    case VK_PRIOR: Target = FRow - VisibleRows(); break;
    case VK_NEXT: Target = FRow + VisibleRows(); break;
    case VK_HOME: Target = 0; break;
    case VK_END: Target = FRowCount - 1; break;
    default: return;
    }
    Target = std::clamp(Target, 0, FRowCount - 1);
    if (Target != FRow)
        SelectCell(0, Target);
}

void TStringGrid::OnFocusChange(HWND Window, HWND) { ::InvalidateRect(Window, nullptr, FALSE); }

void TStringGrid::OnVScroll(HWND, HWND, UINT Code, int) {
    SCROLLINFO Info{sizeof Info, SIF_TRACKPOS, 0, 0, 0, 0, 0};
    ::GetScrollInfo(FHandle, SB_VERT, &Info);
    int Top = FTopRow;
    switch (Code) {
    case SB_LINEUP: --Top; break;
    case SB_LINEDOWN: ++Top; break;
    case SB_PAGEUP: Top -= VisibleRows(); break;
    case SB_PAGEDOWN: Top += VisibleRows(); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: Top = Info.nTrackPos; break;
    case SB_TOP: Top = 0; break;
    case SB_BOTTOM: Top = FRowCount; break;
    default: return;
    }
    ScrollTo(Top, FLeftPixel);
}

void TStringGrid::OnHScroll(HWND, HWND, UINT Code, int) {
    SCROLLINFO Info{sizeof Info, SIF_TRACKPOS, 0, 0, 0, 0, 0};
    ::GetScrollInfo(FHandle, SB_HORZ, &Info);
    int Left = FLeftPixel;
    const int Line = FDefaultColWidth / 4 + 1;
    switch (Code) {
    case SB_LINELEFT: Left -= Line; break;
    case SB_LINERIGHT: Left += Line; break;
    case SB_PAGELEFT: Left -= ClientWidth(); break;
    case SB_PAGERIGHT: Left += ClientWidth(); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: Left = Info.nTrackPos; break;
    case SB_LEFT: Left = 0; break;
    case SB_RIGHT: Left = ContentWidth(); break;
    default: return;
    }
    ScrollTo(FTopRow, Left);
}

void TStringGrid::OnMouseWheel(HWND, int, int, int Delta, UINT) {
    UINT Lines = 3;
    ::SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &Lines, 0);
    // A page per notch where the system asks for that; never more rows than there are.
    const int RowsPerNotch =
        Lines == WHEEL_PAGESCROLL ? VisibleRows() : static_cast<int>(std::min<UINT>(Lines, FRowCount));
    ScrollTo(FTopRow - FWheel.Rows(Delta, RowsPerNotch), FLeftPixel);
}

UINT TStringGrid::OnGetDlgCode(HWND, LPMSG) { return DLGC_WANTARROWS | DLGC_WANTCHARS; }

// ---------------------------------------------------------------- TStatusBar

void TStatusBar::Create(HWND Parent, std::vector<TPanelLayout> Panels) {
    FPanels = std::move(Panels);
    FTexts.assign(FPanels.size(), std::string());
    // The window places the bar; the bar does not follow its parent by itself.
    FHandle = ::CreateWindowExA(0, STATUSCLASSNAMEA, "",
                                WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | CCS_NORESIZE | CCS_NOPARENTALIGN |
                                    CCS_NODIVIDER,
                                0, 0, 0, 0, Parent, nullptr, Instance(), nullptr);
    SetDpi(96);
}

void TStatusBar::SetDpi(int Dpi) {
    std::vector<int> Edges;
    int Right = 0;
    for (std::size_t I = 0; I < FPanels.size(); ++I) {
        Right += ::MulDiv(FPanels[I].Width, Dpi, 96);
        Edges.push_back(I + 1 < FPanels.size() ? Right : -1);  // the last one reaches the end
    }
    ::SendMessageA(FHandle, SB_SETPARTS, Edges.size(), reinterpret_cast<LPARAM>(Edges.data()));
    for (std::size_t I = 0; I < FTexts.size(); ++I)
        SetPanelText(static_cast<int>(I), FTexts[I]);
}

const std::string& TStatusBar::PanelText(int Index) const {
    static const std::string Empty;
    return Index >= 0 && Index < PanelCount() ? FTexts[static_cast<std::size_t>(Index)] : Empty;
}

void TStatusBar::SetPanelText(int Index, const std::string& Text) {
    if (Index < 0 || Index >= PanelCount())
        return;
    const TPanelLayout& Panel = FPanels[static_cast<std::size_t>(Index)];
    FTexts[static_cast<std::size_t>(Index)] = Text;
    // The status bar centres text after one tab and right-justifies it after two.
    const char* Prefix = Panel.Alignment == TTextAlign::taCenter  ? "\t"
                         : Panel.Alignment == TTextAlign::taRight ? "\t\t"
                                                                  : "";
    const std::string Shown = Prefix + Text;
    ::SendMessageA(FHandle, SB_SETTEXTA, static_cast<WPARAM>(Index) | (Panel.Bevel ? 0 : SBT_NOBORDERS),
                   reinterpret_cast<LPARAM>(Shown.c_str()));
}

RECT TStatusBar::PanelRect(int Index) const {
    RECT Rect{};
    ::SendMessageA(FHandle, SB_GETRECT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&Rect));
    return Rect;
}

// ---------------------------------------------------------------- TRichMemo

void TRichMemo::Create(HWND Parent, COLORREF Background) {
    // No horizontal scroll bar and no automatic horizontal scrolling: lines
    // wrap. The vertical bar shows only while the text is longer than the memo.
    FHandle = ::CreateWindowExW(0, MSFTEDIT_CLASS, L"",
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY |
                                    ES_AUTOVSCROLL,
                                0, 0, 0, 0, Parent, nullptr, Instance(), nullptr);
    ::SendMessageW(FHandle, EM_SETBKGNDCOLOR, 0, Background);
    ::SendMessageW(FHandle, EM_SETEVENTMASK, 0, ENM_MOUSEEVENTS);
    ::SetWindowSubclass(FHandle, MemoSubclass, 1, 0);
}

void TRichMemo::Clear() {
    ::SetWindowTextW(FHandle, L"");
    FEmpty = true;
}

void TRichMemo::AppendLine(const std::string& Text, bool Bold, bool Underline, COLORREF Color) {
    GETTEXTLENGTHEX Length{GTL_NUMCHARS, 1200};
    const LRESULT End = ::SendMessageW(FHandle, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&Length), 0);
    ::SendMessageW(FHandle, EM_SETSEL, static_cast<WPARAM>(End), End);
    CHARFORMAT2W Format{};
    Format.cbSize = sizeof Format;
    Format.dwMask = CFM_BOLD | CFM_UNDERLINE | CFM_COLOR;
    Format.dwEffects = (Bold ? CFE_BOLD : 0) | (Underline ? CFE_UNDERLINE : 0);
    Format.crTextColor = Color;
    ::SendMessageW(FHandle, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&Format));
    // The memo ends its paragraphs with a lone CR.
    std::wstring Inserted = FEmpty ? std::wstring() : std::wstring(L"\r");
    for (std::size_t Pos = 0;;) {
        const std::size_t Break = Text.find("\r\n", Pos);
        Inserted += WideFromAnsi(Text.substr(Pos, Break == std::string::npos ? std::string::npos : Break - Pos));
        if (Break == std::string::npos)
            break;
        Inserted += L'\r';
        Pos = Break + 2;
    }
    ::SendMessageW(FHandle, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(Inserted.c_str()));
    FEmpty = false;
}

std::vector<std::string> TRichMemo::Lines() const {
    std::vector<std::string> Lines;
    if (FEmpty)
        return Lines;
    GETTEXTLENGTHEX Length{GTL_USECRLF | GTL_PRECISE | GTL_NUMBYTES, CP_ACP};
    const LRESULT Bytes = ::SendMessageA(FHandle, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&Length), 0);
    std::string Text(static_cast<std::size_t>(std::max<LRESULT>(Bytes, 0)) + 1, '\0');
    GETTEXTEX Get{static_cast<DWORD>(Text.size()), GT_USECRLF, CP_ACP, nullptr, nullptr};
    const LRESULT Copied = ::SendMessageA(FHandle, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&Get),
                                          reinterpret_cast<LPARAM>(Text.data()));
    Text.resize(static_cast<std::size_t>(std::clamp<LRESULT>(Copied, 0, static_cast<LRESULT>(Text.size()))));
    for (std::size_t Pos = 0;;) {
        const std::size_t Break = Text.find("\r\n", Pos);
        Lines.push_back(Text.substr(Pos, Break == std::string::npos ? std::string::npos : Break - Pos));
        if (Break == std::string::npos)
            break;
        Pos = Break + 2;
    }
    return Lines;
}

std::string TRichMemo::Line(int Index) const {
    const std::vector<std::string> All = Lines();
    return Index >= 0 && Index < static_cast<int>(All.size()) ? All[static_cast<std::size_t>(Index)] : std::string();
}

void TRichMemo::ScrollToTop() {
    ::SendMessageW(FHandle, EM_SETSEL, 0, 0);
    ::SendMessageW(FHandle, WM_VSCROLL, SB_TOP, 0);
}

void TRichMemo::SetMargin(int Margin) {
    RECT Format = ClientRect(FHandle);
    ::InflateRect(&Format, -Margin, -Margin);
    ::SendMessageW(FHandle, EM_SETRECT, 0, reinterpret_cast<LPARAM>(&Format));
}

// ---------------------------------------------------------------- TImageList

TImageListHandle TImageList::NewList(int Width, int Height) {
    return TImageListHandle(::ImageList_Create(Width, Height, ILC_COLOR32 | ILC_MASK, 4, 4));
}

void TImageList::Reset(TImageListHandle List, int Width, int Height) {
    FList = std::move(List);
    FWidth = Width;
    FHeight = Height;
}

int TImageList::Count() const { return FList ? ::ImageList_GetImageCount(FList.Get()) : 0; }

void TImageList::Trim(int Count) {
    if (FList && this->Count() > Count)
        ::ImageList_SetImageCount(FList.Get(), static_cast<UINT>(Count));
}

void TImageList::Draw(HDC Dc, int X, int Y, int Index) const {
    if (FList && Index >= 0 && Index < Count())
        ::ImageList_Draw(FList.Get(), Index, Dc, X, Y, ILD_NORMAL);
}

}  // namespace quorvane::win32
