// The controls of the main window on Qt: panels with bevels, a paint surface,
// image and shape controls, the status bar with panels, image lists, the
// string grid, the tree and the help memo.
#pragma once

#include <QFrame>
#include <QPainter>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTextEdit>
#include <QTreeWidget>
#include <QWidget>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "catalogue/Color.h"

namespace quorvane {

// A named colour of the palette, or the RGB value.
QColor ToQColor(const TColor& Color, const QPalette& Palette);
// The system colours: the application's palette, whatever a widget changed in its own.
QPalette SystemPalette();
// The palette's button face (clBtnFace).
QColor BtnFace(const QPalette& Palette);

enum class TBevel { None, Lowered, Raised };

// A panel: optional outer bevel at the edge, a border, optional inner bevel;
// its children lie inside Inset() pixels. OnResize runs after every size change.
class TPanel : public QWidget {
public:
    TPanel(const QString& Name, QWidget* Parent, TBevel Outer, TBevel Inner, int BorderWidth);

    int Inset() const;
    QRect InnerRect() const;  // the area inside bevels and border
    std::function<void()> OnResize;

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    TBevel FOuter;
    TBevel FInner;
    int FBorderWidth;
};

// A surface that its owner paints: Canvas() is valid during OnPaint.
class TPaintBox : public QWidget {
public:
    TPaintBox(const QString& Name, QWidget* Parent);
    QPainter* Canvas() const { return FCanvas; }
    std::function<void()> OnPaint;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QPainter* FCanvas = nullptr;
};

// A picture in a control: centred and/or stretched; drawn transparent, the
// colour of the picture's bottom-left pixel left out (pictures with an alpha
// channel bring their own transparency). A picture whose device pixel ratio is
// above 1 covers its size divided by that ratio, so a picture drawn for the
// screen's scale stays sharp.
class TImage : public QWidget {
public:
    TImage(const QString& Name, QWidget* Parent, bool Center, bool Stretch, bool Transparent);
    void SetPicture(const QImage& Picture);
    const QImage& Picture() const { return FPicture; }
    // Where the picture lands inside the control, in the control's pixels.
    QRect PictureRect() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QImage FPicture;
    QPixmap FDrawn;
    bool FCenter;
    bool FStretch;
    bool FTransparent;
};

// A filled rectangle without outline.
class TShape : public QWidget {
public:
    TShape(const QString& Name, QWidget* Parent);
    void SetBrushColor(const QColor& Color);
    QColor BrushColor() const { return FColor; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QColor FColor = Qt::white;
};

struct TStatusPanel {
    int Width = 50;
    Qt::Alignment Alignment = Qt::AlignLeft;
    TBevel Bevel = TBevel::Lowered;
    QString Text;
};

// A status bar of panels; the last one reaches the right end; a size grip there.
class TStatusBar : public QWidget {
public:
    TStatusBar(const QString& Name, QWidget* Parent, std::vector<TStatusPanel> Panels);
    int PanelCount() const { return static_cast<int>(FPanels.size()); }
    QString PanelText(int Index) const;
    void SetPanelText(int Index, const QString& Text);
    QRect PanelRect(int Index) const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    std::vector<TStatusPanel> FPanels;
};

// Images of one size, addressed by index. Width and Height are in the
// window's pixels; each image holds PixelRatio times as many device pixels
// (rounded up), so that it fills its place sharply on a scaled screen.
class TImageList {
public:
    TImageList(const QString& Name, int Width, int Height, qreal PixelRatio = 1.0);
    const QString& Name() const { return FName; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    qreal PixelRatio() const { return FPixelRatio; }
    // The device pixels of one image.
    QSize PixelSize() const;
    int Count() const { return static_cast<int>(FImages.size()); }
    // Renders the icon at the list's size; answers its index.
    int Add(const QIcon& Icon);
    // An image of any size, scaled to PixelSize() when it has another.
    int AddImage(const QImage& Image);
    // Keeps the first Count images.
    void Trim(int Count);
    QPixmap Image(int Index) const;  // null outside the list
    // Draws image Index at (X, Y); nothing outside the list.
    void Draw(QPainter& Canvas, int X, int Y, int Index) const;

private:
    QString FName;
    int FWidth;
    int FHeight;
    qreal FPixelRatio;
    std::vector<QPixmap> FImages;
    std::unordered_map<qint64, QPixmap> FDrawn;  // by the icon's cacheKey, since the last trim
};

// The sheet grid: whole-row selection, no editing. Cells are painted by
// OnDrawCell; OnSelectCell runs for every click on a cell, the current one
// included, and for every move of the current cell by keyboard.
class TStringGrid : public QTableWidget {
public:
    TStringGrid(const QString& Name, QWidget* Parent, int ColCount, int RowCount);
    QString Cells(int Col, int Row) const;
    void SetCells(int Col, int Row, const QString& Text);
    int ColWidths(int Col) const;  // without the grid line
    void SetColWidths(int Col, int Width);
    int RowHeights(int Row) const;
    // The height of all rows, their grid lines included.
    int ContentHeight() const;
    int ClientWidth() const;
    // The current cell's row; the current cell lies in column 0.
    int Row() const;

    std::function<void(int Col, int Row, const QRect& Rect, bool Focused, QPainter& Canvas)> OnDrawCell;
    std::function<void(int Col, int Row)> OnSelectCell;

protected:
    void mousePressEvent(QMouseEvent* Event) override;
    void currentChanged(const QModelIndex& Current, const QModelIndex& Previous) override;
    void focusInEvent(QFocusEvent* Event) override;
    void focusOutEvent(QFocusEvent* Event) override;

private:
    bool FInMousePress = false;
    int FCurrentRow = 0;  // the row of the current cell, whatever moved it
};

// The process tree. OnCustomDrawItem may change the text colour of an entry
// before it is drawn; OnEditing decides whether an entry may be edited.
class TTreeView : public QTreeWidget {
public:
    TTreeView(const QString& Name, QWidget* Parent);
    std::function<void(QTreeWidgetItem* Item, bool Selected, QColor& TextColor, bool& ColorSet)> OnCustomDrawItem;
    std::function<void(QTreeWidgetItem* Item, bool& AllowEdit)> OnEditing;
    // Whether an entry is drawn selected: the highlight shows only while the
    // tree has the keyboard focus.
    bool DrawnSelected(const QModelIndex& Index) const;
    // The text colour the entry is drawn in now.
    QColor EntryTextColor(QTreeWidgetItem* Item);
    // Where the entry's icon is drawn, in the viewport's pixels.
    QRect IconRect(QTreeWidgetItem* Item);

protected:
    bool edit(const QModelIndex& Index, EditTrigger Trigger, QEvent* Event) override;
    void drawBranches(QPainter* Painter, const QRect& Rect, const QModelIndex& Index) const override;
    void drawRow(QPainter* Painter, const QStyleOptionViewItem& Option, const QModelIndex& Index) const override;
    void mousePressEvent(QMouseEvent* Event) override;
    void focusInEvent(QFocusEvent* Event) override;
    void focusOutEvent(QFocusEvent* Event) override;
};

// The read-only help memo; appends lines with the attributes in force.
class TRichMemo : public QTextEdit {
public:
    TRichMemo(const QString& Name, QWidget* Parent);
    void Clear();
    // Appends Text as one or more lines ("\r\n" breaks it) at the end.
    void AppendLine(const std::string& Text, bool Bold, bool Underline, const QColor& Color);
    QString Line(int Index) const;
    int LineCount() const;
    std::function<void()> OnMouseUp;

protected:
    void mouseReleaseEvent(QMouseEvent* Event) override;

private:
    bool FEmpty = true;
};

}  // namespace quorvane
