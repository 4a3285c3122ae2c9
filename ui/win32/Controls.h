// The controls of the main window that Windows does not have: panels with
// bevels, the splitter, the string grid, and the controls without a window of
// their own that their panel draws (paint box, image, shape, label). Thin
// holders for the standard controls the window uses (status bar, rich-text
// memo, image lists) are here too.
//
// Every window class has one window procedure, which hands the messages to the
// C++ object on the window (ui/win32/WindowClass.h). Each control paints in
// one function that WM_PAINT and WM_PRINTCLIENT share.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "ui/rules/FormLayout.h"
#include "ui/win32/Handles.h"

namespace quorvane::win32 {

class TPanel;

// A window of one of our own classes.
class TCustomControl {
public:
    TCustomControl() = default;
    virtual ~TCustomControl();
    TCustomControl(const TCustomControl&) = delete;
    TCustomControl& operator=(const TCustomControl&) = delete;

    HWND Handle() const { return FHandle; }
    RECT BoundsRect() const;  // in the parent's client coordinates
    int ClientWidth() const;
    int ClientHeight() const;

protected:
    // Creates the window of ClassName (registered once, with Procedure and the
    // system cursor Cursor) as a child of Parent.
    void CreateHandle(const char* ClassName, WNDPROC Procedure, HWND Parent, DWORD Style, DWORD ExStyle,
                      LPCSTR Cursor);

    // The dispatch of the controls' window procedures: the control on the
    // window handles the message, after the paint messages all share.
    template <typename TControl>
    static LRESULT Dispatch(HWND Window, UINT Message, WPARAM wParam, LPARAM lParam,
                            LRESULT (TControl::*Handle)(UINT, WPARAM, LPARAM));

    HWND FHandle = nullptr;
};

// A control drawn by its panel, in the panel's coordinates. A later control of
// one panel is drawn over an earlier one.
class TGraphicControl {
public:
    explicit TGraphicControl(std::string Name) : FName(std::move(Name)) {}
    virtual ~TGraphicControl() = default;
    TGraphicControl(const TGraphicControl&) = delete;
    TGraphicControl& operator=(const TGraphicControl&) = delete;

    const std::string& Name() const { return FName; }
    const RECT& BoundsRect() const { return FBounds; }
    int Left() const { return FBounds.left; }
    int Top() const { return FBounds.top; }
    int Width() const { return FBounds.right - FBounds.left; }
    int Height() const { return FBounds.bottom - FBounds.top; }
    void SetBounds(int Left, int Top, int Width, int Height);
    void SetBounds(const RECT& Bounds) {
        SetBounds(Bounds.left, Bounds.top, Bounds.right - Bounds.left, Bounds.bottom - Bounds.top);
    }

    // Draws the control; Dc is clipped to the control's bounds.
    virtual void Paint(HDC Dc) = 0;
    // Repaints the control's area of its panel.
    void Invalidate() const;

private:
    friend class TPanel;
    std::string FName;
    RECT FBounds{};
    TPanel* FParent = nullptr;
};

// A surface its owner paints. OnPaint draws in the paint box's coordinates.
class TPaintBox final : public TGraphicControl {
public:
    using TGraphicControl::TGraphicControl;
    std::function<void(HDC Canvas)> OnPaint;
    void Paint(HDC Dc) override;
};

// A picture in a control: centred and/or stretched, drawn transparent where
// asked, the colour of the picture's bottom-left pixel then left out.
class TImage final : public TGraphicControl {
public:
    TImage(std::string Name, bool Center, bool Stretch, bool Transparent)
        : TGraphicControl(std::move(Name)), FCenter(Center), FStretch(Stretch), FTransparent(Transparent) {}

    // Takes the bitmap; an empty holder clears the picture.
    void SetPicture(TBitmapHandle Picture);
    HBITMAP Picture() const { return FPicture.Get(); }
    SIZE PictureSize() const { return FPictureSize; }
    // Where the picture lands, in the panel's coordinates; empty without one.
    RECT PictureRect() const;
    // The colour left out; meaningful with a picture.
    COLORREF TransparentColor() const { return FTransparentColor; }
    void Paint(HDC Dc) override;

private:
    bool FCenter;
    bool FStretch;
    bool FTransparent;
    TBitmapHandle FPicture;
    SIZE FPictureSize{};
    COLORREF FTransparentColor = 0;
};

// A filled rectangle without outline.
class TShape final : public TGraphicControl {
public:
    using TGraphicControl::TGraphicControl;
    COLORREF BrushColor() const { return FBrushColor; }
    void SetBrushColor(COLORREF Color);
    void Paint(HDC Dc) override;

private:
    COLORREF FBrushColor = RGB(255, 255, 255);
};

// A line of text on a transparent background, sized to its text, centred.
class TLabel final : public TGraphicControl {
public:
    using TGraphicControl::TGraphicControl;
    const std::string& Caption() const { return FCaption; }
    // Sets the text and sizes the label to it (the top-left stays).
    void SetCaption(const std::string& Caption);
    // The font is the window's; the label keeps only the handle.
    void SetFont(HFONT Font);
    HFONT Font() const { return FFont; }
    void Paint(HDC Dc) override;

private:
    void AdjustSize();
    std::string FCaption;
    HFONT FFont = nullptr;
};

enum class TBevel { bvNone, bvLowered, bvRaised };

// A panel: an outer bevel at its edge, a border, an inner bevel; its
// children lie inside Inset() pixels. Paints its graphic controls; passes the
// notifications of its windowed children on to its own parent.
class TPanel final : public TCustomControl {
public:
    void Create(HWND Parent, TBevel Outer, TBevel Inner, int BorderWidth);
    // The border follows the screen resolution; bevels stay one pixel.
    void SetBorderWidth(int BorderWidth);
    int Inset() const;
    RECT InnerRect() const;  // client coordinates, inside bevels and border
    void Add(TGraphicControl& Control);
    bool Visible() const;
    void SetVisible(bool Visible);

    // Runs after every change of the panel's size.
    std::function<void()> OnResize;

    void Paint(HDC Dc, const RECT& Dirty);

    static LRESULT CALLBACK WindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);

private:
    LRESULT HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam);
    void OnPaint(HWND Window);
    void OnSize(HWND Window, UINT State, int Width, int Height);

    TBevel FOuter = TBevel::bvNone;
    TBevel FInner = TBevel::bvNone;
    int FBorderWidth = 0;
    std::vector<TGraphicControl*> FControls;
};

// The bar between two panels. OnMoved gets how far the bar was dragged.
class TSplitter final : public TCustomControl {
public:
    void Create(HWND Parent);
    std::function<void(int Delta)> OnMoved;
    void Paint(HDC Dc, const RECT& Dirty);

    static LRESULT CALLBACK WindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);

private:
    LRESULT HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam);
    void OnPaint(HWND Window);
    void OnLButtonDown(HWND Window, BOOL DoubleClick, int X, int Y, UINT Keys);
    void OnMouseMove(HWND Window, int X, int Y, UINT Keys);
    void OnLButtonUp(HWND Window, int X, int Y, UINT Keys);

    int FGrabX = 0;
};

// Drawing state of a grid cell.
enum TGridDrawState : unsigned { gdSelected = 1, gdFocused = 2 };

// A grid of text cells with whole-row selection: the current cell is always in
// column 0 of the selected row. No editing. Cells are painted by OnDrawCell;
// OnSelectCell runs for every click on a cell, the current one included, and
// for every keyboard move of the current cell, before the move. Scroll bars
// appear only when the cells do not fit.
class TStringGrid final : public TCustomControl {
public:
    void Create(HWND Parent, int ColCount, int RowCount);

    int ColCount() const { return FColCount; }
    int RowCount() const { return FRowCount; }
    const std::string& Cells(int Col, int Row) const;
    void SetCells(int Col, int Row, const std::string& Text);
    int ColWidths(int Col) const;  // without the grid line
    void SetColWidths(int Col, int Width);
    int DefaultRowHeight() const { return FRowHeight; }
    // Column width of new columns and height of every row; both follow the
    // screen resolution, the line width stays one pixel.
    void SetDefaultSizes(int ColWidth, int RowHeight);
    int GridLineWidth() const { return FLineWidth; }
    int Row() const { return FRow; }
    int Col() const { return 0; }
    int TopRow() const { return FTopRow; }
    // The font is the window's; the grid keeps only the handle.
    void SetFont(HFONT Font);
    HFONT Font() const { return FFont; }

    // The cell's rectangle as drawn now, in client coordinates.
    RECT CellRect(int Col, int Row) const;
    // A click on a cell as the user makes it: focus, then select.
    void ClickCell(int Col, int Row);
    // Asks OnSelectCell, then makes Row current and scrolls it into view.
    void SelectCell(int Col, int Row);

    bool VerticalScrollBar() const;
    bool HorizontalScrollBar() const;

    std::function<void(int ACol, int ARow, const RECT& Rect, unsigned State, HDC Canvas)> OnDrawCell;
    std::function<void(int ACol, int ARow, bool& CanSelect)> OnSelectCell;

    void Paint(HDC Dc, const RECT& Dirty);

    static LRESULT CALLBACK WindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);

private:
    LRESULT HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam);
    void OnPaint(HWND Window);
    void OnSize(HWND Window, UINT State, int Width, int Height);
    void OnLButtonDown(HWND Window, BOOL DoubleClick, int X, int Y, UINT Keys);
    void OnKey(HWND Window, UINT Key, BOOL Down, int Repeat, UINT Flags);
    void OnFocusChange(HWND Window, HWND Other);
    void OnVScroll(HWND Window, HWND Control, UINT Code, int Position);
    void OnHScroll(HWND Window, HWND Control, UINT Code, int Position);
    void OnMouseWheel(HWND Window, int X, int Y, int Delta, UINT Keys);
    UINT OnGetDlgCode(HWND Window, LPMSG Message);

    int ContentWidth() const;
    int ContentHeight() const;
    int VisibleRows() const;  // rows that fit whole
    void UpdateScrollBars();
    void ScrollTo(int TopRow, int LeftPixel);
    void ScrollIntoView(int Row);
    bool HitTest(int X, int Y, int& Col, int& Row) const;

    int FColCount = 0;
    int FRowCount = 0;
    std::vector<std::string> FCells;
    std::vector<int> FColWidths;
    int FDefaultColWidth = 64;
    int FRowHeight = 24;
    int FLineWidth = 1;
    int FRow = 0;
    int FTopRow = 0;
    int FLeftPixel = 0;
    HFONT FFont = nullptr;
    bool FUpdatingScrollBars = false;
    TWheelRows FWheel;
};

// The status bar with its panels; the last panel reaches the right end, a size
// grip lies there.
class TStatusBar {
public:
    enum class TTextAlign { taLeft, taCenter, taRight };
    struct TPanelLayout {
        int Width;  // at 96 dots per inch
        TTextAlign Alignment;
        bool Bevel;  // lowered; none otherwise
    };

    void Create(HWND Parent, std::vector<TPanelLayout> Panels);
    HWND Handle() const { return FHandle; }
    // Panel widths at the resolution.
    void SetDpi(int Dpi);
    int PanelCount() const { return static_cast<int>(FPanels.size()); }
    const std::string& PanelText(int Index) const;
    void SetPanelText(int Index, const std::string& Text);
    RECT PanelRect(int Index) const;

private:
    HWND FHandle = nullptr;
    std::vector<TPanelLayout> FPanels;
    std::vector<std::string> FTexts;
};

// The read-only rich-text memo: lines appended at the end in the attributes
// given; the lines read back as they are shown (one per paragraph).
class TRichMemo {
public:
    void Create(HWND Parent, COLORREF Background);
    HWND Handle() const { return FHandle; }
    void Clear();
    // Appends Text as one or more lines ("\r\n" breaks it) at the end.
    void AppendLine(const std::string& Text, bool Bold, bool Underline, COLORREF Color);
    std::vector<std::string> Lines() const;
    std::string Line(int Index) const;  // empty outside the text
    // Shows the first line, whatever the appends scrolled to.
    void ScrollToTop();
    // The text inside a margin of Margin pixels on every side.
    void SetMargin(int Margin);

private:
    HWND FHandle = nullptr;
    bool FEmpty = true;
};

// A masked image list: colour images and their one-bit masks, room for 4 at
// first, growing by 4.
class TImageList {
public:
    // A new empty list of the size.
    static TImageListHandle NewList(int Width, int Height);
    HIMAGELIST Handle() const { return FList.Get(); }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    int Count() const;
    // Keeps the first Count images.
    void Trim(int Count);
    // Draws image Index at (X, Y), masked; nothing outside the list.
    void Draw(HDC Dc, int X, int Y, int Index) const;
    // Gives the list another handle (the old one is freed).
    void Reset(TImageListHandle List, int Width, int Height);

private:
    TImageListHandle FList;
    int FWidth = 0;
    int FHeight = 0;
};

}  // namespace quorvane::win32
