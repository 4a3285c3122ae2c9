#include "ui/qt/Controls.h"

#include <QApplication>
#include <QBitmap>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QMouseEvent>
#include <QSizeGrip>
#include <QTextBlock>
#include <QTextCursor>
#include <cmath>

namespace quorvane {

QPalette SystemPalette() { return QApplication::palette(); }

QColor BtnFace(const QPalette& Palette) { return Palette.color(QPalette::Active, QPalette::Button); }

QColor ToQColor(const TColor& Color, const QPalette& Palette) {
    if (!Color.IsSystem)
        return QColor(Color.R, Color.G, Color.B);
    switch (Color.System) {
        case TSystemColor::clBtnFace:
            return BtnFace(Palette);
        case TSystemColor::clWindow:
            return Palette.color(QPalette::Active, QPalette::Base);
        case TSystemColor::clWindowText:
            return Palette.color(QPalette::Active, QPalette::Text);
        case TSystemColor::clHighlight:
            return Palette.color(QPalette::Active, QPalette::Highlight);
        case TSystemColor::clHighlightText:
            return Palette.color(QPalette::Active, QPalette::HighlightedText);
    }
    return Palette.color(QPalette::Active, QPalette::Text);
}

namespace {

void DrawBevel(QPainter& Painter, const QRect& R, TBevel Bevel, const QPalette& Palette) {
    if (Bevel == TBevel::None || R.width() <= 0 || R.height() <= 0)
        return;
    const QColor Light = Palette.color(QPalette::Light);
    const QColor Shadow = Palette.color(QPalette::Dark);
    const QColor& TopLeft = Bevel == TBevel::Raised ? Light : Shadow;
    const QColor& BottomRight = Bevel == TBevel::Raised ? Shadow : Light;
    // Filled one-pixel strips rather than lines: on a screen scaled by a
    // fraction a strip still covers whole device pixels inside the panel,
    // where a line can fall between them or beyond the panel's edge.
    Painter.fillRect(QRect(R.left(), R.top(), R.width(), 1), TopLeft);
    Painter.fillRect(QRect(R.left(), R.top(), 1, R.height()), TopLeft);
    Painter.fillRect(QRect(R.right(), R.top(), 1, R.height()), BottomRight);
    Painter.fillRect(QRect(R.left(), R.bottom(), R.width(), 1), BottomRight);
}

// Draws the tree's entries with the text colour its handler chooses.
class TTreeDelegate : public QStyledItemDelegate {
public:
    explicit TTreeDelegate(TTreeView* Tree) : QStyledItemDelegate(Tree), FTree(Tree) {}

    void Prepare(QStyleOptionViewItem* Option, const QModelIndex& Index) const { initStyleOption(Option, Index); }

protected:
    void initStyleOption(QStyleOptionViewItem* Option, const QModelIndex& Index) const override {
        QStyledItemDelegate::initStyleOption(Option, Index);
        const bool Selected = FTree->DrawnSelected(Index);
        if (!Selected)
            Option->state &= ~QStyle::State_Selected;
        if (!FTree->OnCustomDrawItem)
            return;
        QColor Color;
        bool ColorSet = false;
        FTree->OnCustomDrawItem(FTree->itemFromIndex(Index), Selected, Color, ColorSet);
        if (ColorSet) {
            Option->palette.setColor(QPalette::Text, Color);
            Option->palette.setColor(QPalette::HighlightedText, Color);
        }
    }

private:
    TTreeView* FTree;
};

// Hands every cell of the grid to its OnDrawCell.
class TGridDelegate : public QStyledItemDelegate {
public:
    explicit TGridDelegate(TStringGrid* Grid) : QStyledItemDelegate(Grid), FGrid(Grid) {}

    void paint(QPainter* Painter, const QStyleOptionViewItem& Option, const QModelIndex& Index) const override {
        if (!FGrid->OnDrawCell) {
            QStyledItemDelegate::paint(Painter, Option, Index);
            return;
        }
        // gdFocused: the current cell while the grid has the input focus.
        const bool Focused = FGrid->hasFocus() && Index.row() == FGrid->Row() && Index.column() == 0;
        Painter->save();
        FGrid->OnDrawCell(Index.column(), Index.row(), Option.rect, Focused, *Painter);
        Painter->restore();
    }

private:
    TStringGrid* FGrid;
};

}  // namespace

// ---------------------------------------------------------------- TPanel

TPanel::TPanel(const QString& Name, QWidget* Parent, TBevel Outer, TBevel Inner, int BorderWidth)
    : QWidget(Parent), FOuter(Outer), FInner(Inner), FBorderWidth(BorderWidth) {
    setObjectName(Name);
}

int TPanel::Inset() const { return (FOuter != TBevel::None) + FBorderWidth + (FInner != TBevel::None); }

QRect TPanel::InnerRect() const {
    const int I = Inset();
    return rect().adjusted(I, I, -I, -I);
}

void TPanel::paintEvent(QPaintEvent*) {
    QPainter Painter(this);
    Painter.fillRect(rect(), BtnFace(palette()));
    QRect R = rect();
    DrawBevel(Painter, R, FOuter, palette());
    if (FOuter != TBevel::None)
        R.adjust(1, 1, -1, -1);
    R.adjust(FBorderWidth, FBorderWidth, -FBorderWidth, -FBorderWidth);
    DrawBevel(Painter, R, FInner, palette());
}

void TPanel::resizeEvent(QResizeEvent* Event) {
    QWidget::resizeEvent(Event);
    if (OnResize)
        OnResize();
}

// ---------------------------------------------------------------- TPaintBox

TPaintBox::TPaintBox(const QString& Name, QWidget* Parent) : QWidget(Parent) { setObjectName(Name); }

void TPaintBox::paintEvent(QPaintEvent*) {
    QPainter Painter(this);
    FCanvas = &Painter;
    if (OnPaint)
        OnPaint();
    FCanvas = nullptr;
}

// ---------------------------------------------------------------- TImage

TImage::TImage(const QString& Name, QWidget* Parent, bool Center, bool Stretch, bool Transparent)
    : QWidget(Parent), FCenter(Center), FStretch(Stretch), FTransparent(Transparent) {
    setObjectName(Name);
}

void TImage::SetPicture(const QImage& Picture) {
    FPicture = Picture;
    FDrawn = QPixmap::fromImage(Picture);
    if (FTransparent && !Picture.isNull() && !Picture.hasAlphaChannel()) {
        const QRgb Key = Picture.pixel(0, Picture.height() - 1);
        FDrawn.setMask(QBitmap::fromImage(Picture.createMaskFromColor(Key, Qt::MaskInColor)));
    }
    FDrawn.setDevicePixelRatio(Picture.devicePixelRatio());
    update();
}

QRect TImage::PictureRect() const {
    if (FPicture.isNull())
        return {};
    QSize Size = FPicture.deviceIndependentSize().toSize();
    if (FStretch)
        Size.scale(size(), Qt::KeepAspectRatio);
    if (!FCenter)
        return QRect(QPoint(0, 0), Size);
    return QRect(QPoint((width() - Size.width()) / 2, (height() - Size.height()) / 2), Size);
}

void TImage::paintEvent(QPaintEvent*) {
    if (FDrawn.isNull())
        return;
    QPainter Painter(this);
    Painter.setRenderHint(QPainter::SmoothPixmapTransform);
    Painter.drawPixmap(PictureRect(), FDrawn);
}

// ---------------------------------------------------------------- TShape

TShape::TShape(const QString& Name, QWidget* Parent) : QWidget(Parent) { setObjectName(Name); }

void TShape::SetBrushColor(const QColor& Color) {
    FColor = Color;
    update();
}

void TShape::paintEvent(QPaintEvent*) {
    QPainter Painter(this);
    Painter.fillRect(rect(), FColor);
}

// ---------------------------------------------------------------- TStatusBar

TStatusBar::TStatusBar(const QString& Name, QWidget* Parent, std::vector<TStatusPanel> Panels)
    : QWidget(Parent), FPanels(std::move(Panels)) {
    setObjectName(Name);
    auto* Grip = new QSizeGrip(this);
    Grip->setObjectName(Name + "Grip");
    auto* Layout = new QHBoxLayout(this);
    Layout->setContentsMargins(0, 0, 0, 0);
    Layout->addStretch();
    Layout->addWidget(Grip, 0, Qt::AlignBottom | Qt::AlignRight);
}

QString TStatusBar::PanelText(int Index) const {
    return Index >= 0 && Index < PanelCount() ? FPanels[Index].Text : QString();
}

void TStatusBar::SetPanelText(int Index, const QString& Text) {
    if (Index < 0 || Index >= PanelCount())
        return;
    FPanels[Index].Text = Text;
    update();
}

QRect TStatusBar::PanelRect(int Index) const {
    int Left = 0;
    for (int I = 0; I < Index; ++I)
        Left += FPanels[I].Width;
    const int Width = Index == PanelCount() - 1 ? std::max(width() - Left, FPanels[Index].Width)
                                                 : FPanels[Index].Width;
    return QRect(Left, 2, Width - 2, height() - 2);
}

void TStatusBar::paintEvent(QPaintEvent*) {
    QPainter Painter(this);
    Painter.fillRect(rect(), BtnFace(palette()));
    Painter.setPen(palette().color(QPalette::WindowText));
    for (int I = 0; I < PanelCount(); ++I) {
        const QRect R = PanelRect(I);
        DrawBevel(Painter, R, FPanels[I].Bevel, palette());
        Painter.setPen(palette().color(QPalette::WindowText));
        Painter.drawText(R.adjusted(3, 1, -3, -1), FPanels[I].Alignment | Qt::AlignVCenter, FPanels[I].Text);
    }
}

// ---------------------------------------------------------------- TImageList

TImageList::TImageList(const QString& Name, int Width, int Height, qreal PixelRatio)
    : FName(Name), FWidth(Width), FHeight(Height), FPixelRatio(std::max<qreal>(PixelRatio, 1.0)) {
    FImages.reserve(4);
}

QSize TImageList::PixelSize() const {
    return QSize(static_cast<int>(std::ceil(FWidth * FPixelRatio)),
                 static_cast<int>(std::ceil(FHeight * FPixelRatio)));
}

int TImageList::AddImage(const QImage& Image) {
    const QSize Pixels = PixelSize();
    QPixmap Cell(Pixels);
    Cell.fill(Qt::transparent);
    if (!Image.isNull()) {
        QImage Source = Image;
        Source.setDevicePixelRatio(1.0);
        QPainter Painter(&Cell);
        Painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const QImage Scaled = Source.size() == Pixels
                                  ? Source
                                  : Source.scaled(Pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        Painter.drawImage((Pixels.width() - Scaled.width()) / 2, (Pixels.height() - Scaled.height()) / 2, Scaled);
    }
    Cell.setDevicePixelRatio(FPixelRatio);
    FImages.push_back(Cell);
    return Count() - 1;
}

int TImageList::Add(const QIcon& Icon) {
    if (Icon.isNull())
        return AddImage(QImage());
    // An icon added before is drawn once: many processes share one image file.
    if (const auto Drawn = FDrawn.find(Icon.cacheKey()); Drawn != FDrawn.end()) {
        FImages.push_back(Drawn->second);
        return Count() - 1;
    }
    // The icon's own picture for the device pixels, where it has one.
    const int Index = AddImage(Icon.pixmap(QSize(FWidth, FHeight), FPixelRatio).toImage());
    FDrawn.emplace(Icon.cacheKey(), FImages.back());
    return Index;
}

void TImageList::Trim(int Keep) {
    // The icons are drawn anew after a trim: a theme may have changed since.
    FDrawn.clear();
    if (Keep >= 0 && Keep < Count()) {
        FImages.resize(Keep);
        FImages.shrink_to_fit();
    }
}

QPixmap TImageList::Image(int Index) const {
    return Index >= 0 && Index < Count() ? FImages[Index] : QPixmap();
}

void TImageList::Draw(QPainter& Canvas, int X, int Y, int Index) const {
    if (Index >= 0 && Index < Count())
        Canvas.drawPixmap(X, Y, FImages[Index]);
}

// ---------------------------------------------------------------- TStringGrid

TStringGrid::TStringGrid(const QString& Name, QWidget* Parent, int ColCount, int RowCount)
    : QTableWidget(RowCount, ColCount, Parent) {
    setObjectName(Name);
    horizontalHeader()->hide();
    verticalHeader()->hide();
    // Qt counts the grid line into the section; the sizes below are cell plus line.
    horizontalHeader()->setMinimumSectionSize(0);
    horizontalHeader()->setDefaultSectionSize(86 + 1);
    verticalHeader()->setMinimumSectionSize(0);
    verticalHeader()->setDefaultSectionSize(20 + 1);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setWordWrap(false);
    // Tab and Shift+Tab move the focus to the next control, not between cells.
    setTabKeyNavigation(false);
    for (int R = 0; R < RowCount; ++R)
        for (int C = 0; C < ColCount; ++C) {
            auto* Item = new QTableWidgetItem();
            Item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            setItem(R, C, Item);
        }
    setItemDelegate(new TGridDelegate(this));
    // The grid starts with cell (0, 0) current, without a selection event.
    FInMousePress = true;
    selectionModel()->setCurrentIndex(model()->index(0, 0), QItemSelectionModel::NoUpdate);
    FInMousePress = false;
}

QString TStringGrid::Cells(int Col, int Row) const {
    const QTableWidgetItem* Cell = item(Row, Col);
    return Cell ? Cell->text() : QString();
}

void TStringGrid::SetCells(int Col, int Row, const QString& Text) {
    if (QTableWidgetItem* Cell = item(Row, Col))
        Cell->setText(Text);
}

int TStringGrid::ColWidths(int Col) const { return columnWidth(Col) - 1; }

void TStringGrid::SetColWidths(int Col, int Width) { setColumnWidth(Col, std::max(Width + 1, 0)); }

int TStringGrid::RowHeights(int Row) const { return rowHeight(Row) - 1; }

int TStringGrid::ContentHeight() const {
    int Height = 0;
    for (int R = 0; R < rowCount(); ++R)
        Height += rowHeight(R);
    return Height;
}

int TStringGrid::ClientWidth() const {
    // From the grid's own size, so that it holds before Qt has laid out the viewport.
    int Width = width() - 2 * frameWidth();
    if (ContentHeight() > height() - 2 * frameWidth())
        Width -= style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return Width;
}

int TStringGrid::Row() const { return currentIndex().isValid() ? currentIndex().row() : 0; }

void TStringGrid::mousePressEvent(QMouseEvent* Event) {
    const QModelIndex Index = indexAt(Event->position().toPoint());
    if (!Index.isValid()) {
        QTableWidget::mousePressEvent(Event);
        return;
    }
    if (OnSelectCell)
        OnSelectCell(Index.column(), Index.row());
    // In whole-row mode the current cell stays in column 0.
    FInMousePress = true;
    selectionModel()->setCurrentIndex(model()->index(Index.row(), 0),
                                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    FInMousePress = false;
    setFocus(Qt::MouseFocusReason);
}

void TStringGrid::currentChanged(const QModelIndex& Current, const QModelIndex& Previous) {
    QTableWidget::currentChanged(Current, Previous);
    if (!Current.isValid())
        return;
    if (Current.column() != 0) {
        // Keyboard movement sideways or to a row's end: back to column 0,
        // which comes here again and tells about a new row then.
        selectionModel()->setCurrentIndex(model()->index(Current.row(), 0), QItemSelectionModel::NoUpdate);
        return;
    }
    const bool NewRow = Current.row() != FCurrentRow;
    FCurrentRow = Current.row();
    if (NewRow && !FInMousePress && OnSelectCell)
        OnSelectCell(Current.column(), Current.row());
    viewport()->update();
}

void TStringGrid::focusInEvent(QFocusEvent* Event) {
    // Qt would make a cell current here; the grid already has one.
    QAbstractScrollArea::focusInEvent(Event);
    viewport()->update();
}

void TStringGrid::focusOutEvent(QFocusEvent* Event) {
    QTableWidget::focusOutEvent(Event);
    viewport()->update();
}

// ---------------------------------------------------------------- TTreeView

TTreeView::TTreeView(const QString& Name, QWidget* Parent) : QTreeWidget(Parent) {
    setObjectName(Name);
    setHeaderHidden(true);
    setColumnCount(1);
    setIndentation(25);
    setRootIsDecorated(true);
    setIconSize(QSize(16, 16));
    setFrameShape(QFrame::NoFrame);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformRowHeights(true);
    // Long names scroll sideways instead of being cut short.
    setTextElideMode(Qt::ElideNone);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // Edit requests reach OnEditing, which refuses them.
    setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::DoubleClicked);
    setExpandsOnDoubleClick(true);
    setItemDelegate(new TTreeDelegate(this));
}

bool TTreeView::DrawnSelected(const QModelIndex& Index) const {
    return hasFocus() && selectionModel() && selectionModel()->isSelected(Index);
}

QColor TTreeView::EntryTextColor(QTreeWidgetItem* Item) {
    QStyleOptionViewItem Option;
    initViewItemOption(&Option);
    static_cast<const TTreeDelegate*>(itemDelegate())->Prepare(&Option, indexFromItem(Item));
    const bool Selected = Option.state & QStyle::State_Selected;
    return Option.palette.color(Selected ? QPalette::HighlightedText : QPalette::Text);
}

QRect TTreeView::IconRect(QTreeWidgetItem* Item) {
    QStyleOptionViewItem Option;
    initViewItemOption(&Option);
    const QModelIndex Index = indexFromItem(Item);
    static_cast<const TTreeDelegate*>(itemDelegate())->Prepare(&Option, Index);
    Option.rect = visualRect(Index);
    return style()->subElementRect(QStyle::SE_ItemViewItemDecoration, &Option, this);
}

bool TTreeView::edit(const QModelIndex& Index, EditTrigger Trigger, QEvent* Event) {
    if (Trigger == QAbstractItemView::NoEditTriggers || !Index.isValid())
        return QTreeWidget::edit(Index, Trigger, Event);
    bool AllowEdit = true;
    if (OnEditing)
        OnEditing(itemFromIndex(Index), AllowEdit);
    return AllowEdit ? QTreeWidget::edit(Index, Trigger, Event) : false;
}

void TTreeView::drawBranches(QPainter* Painter, const QRect& Rect, const QModelIndex& Index) const {
    QTreeWidget::drawBranches(Painter, Rect, Index);
    const QTreeWidgetItem* Item = itemFromIndex(Index);
    if (!Item)
        return;
    auto HasNextSibling = [this](const QTreeWidgetItem* I) {
        const QTreeWidgetItem* Parent = I->parent();
        return Parent ? Parent->indexOfChild(const_cast<QTreeWidgetItem*>(I)) < Parent->childCount() - 1
                      : indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(I)) < topLevelItemCount() - 1;
    };
    int Depth = 0;
    for (const QTreeWidgetItem* P = Item->parent(); P; P = P->parent())
        ++Depth;
    const int Step = indentation();
    const int Left = Rect.right() + 1 - Step * (Depth + 1);
    const int Mid = Rect.top() + Rect.height() / 2;
    const int Gap = Item->childCount() > 0 ? 5 : 0;  // room for the expand button
    QPen Pen(palette().color(QPalette::Dark), 1, Qt::DotLine);
    Painter->save();
    Painter->setPen(Pen);
    // The item's own connector.
    const int X = Left + Step * Depth + Step / 2;
    Painter->drawLine(X, Rect.top(), X, Mid - Gap);
    if (HasNextSibling(Item))
        Painter->drawLine(X, Mid + Gap, X, Rect.bottom());
    Painter->drawLine(X + Gap, Mid, Left + Step * (Depth + 1) - 2, Mid);
    // Lines of the ancestors that have siblings below.
    int Level = Depth - 1;
    for (const QTreeWidgetItem* P = Item->parent(); P; P = P->parent(), --Level)
        if (HasNextSibling(P)) {
            const int PX = Left + Step * Level + Step / 2;
            Painter->drawLine(PX, Rect.top(), PX, Rect.bottom());
        }
    Painter->restore();
}

void TTreeView::drawRow(QPainter* Painter, const QStyleOptionViewItem& Option, const QModelIndex& Index) const {
    if (hasFocus()) {
        QTreeWidget::drawRow(Painter, Option, Index);
        return;
    }
    // Without the focus the selection is not shown, in the branch area neither.
    QStyleOptionViewItem Unmarked(Option);
    Unmarked.palette.setBrush(QPalette::Highlight, Option.palette.brush(QPalette::Base));
    QTreeWidget::drawRow(Painter, Unmarked, Index);
}

void TTreeView::mousePressEvent(QMouseEvent* Event) {
    // A press beside or below the entries keeps the selection.
    if (!indexAt(Event->position().toPoint()).isValid())
        return;
    QTreeWidget::mousePressEvent(Event);
}

void TTreeView::focusInEvent(QFocusEvent* Event) {
    QTreeWidget::focusInEvent(Event);
    viewport()->update();
}

void TTreeView::focusOutEvent(QFocusEvent* Event) {
    QTreeWidget::focusOutEvent(Event);
    viewport()->update();
}

// ---------------------------------------------------------------- TRichMemo

TRichMemo::TRichMemo(const QString& Name, QWidget* Parent) : QTextEdit(Parent) {
    setObjectName(Name);
    setReadOnly(true);
    setFrameShape(QFrame::NoFrame);
    document()->setDocumentMargin(3);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setFocusPolicy(Qt::StrongFocus);
    setTabChangesFocus(true);
    // No menu of its own: the release of every mouse button belongs to OnMouseUp.
    setContextMenuPolicy(Qt::NoContextMenu);
}

void TRichMemo::Clear() {
    clear();
    FEmpty = true;
}

void TRichMemo::AppendLine(const std::string& Text, bool Bold, bool Underline, const QColor& Color) {
    QTextCharFormat Format;
    Format.setFontWeight(Bold ? QFont::Bold : QFont::Normal);
    Format.setFontUnderline(Underline);
    Format.setForeground(Color);
    QTextCursor Cursor(document());
    Cursor.movePosition(QTextCursor::End);
    const QString All = QString::fromStdString(Text);
    const QStringList Lines = All.split(QStringLiteral("\r\n"));
    for (const QString& Line : Lines) {
        if (!FEmpty)
            Cursor.insertBlock(QTextBlockFormat(), Format);
        else
            Cursor.setBlockCharFormat(Format);
        Cursor.insertText(Line, Format);
        FEmpty = false;
    }
}

QString TRichMemo::Line(int Index) const {
    if (FEmpty)
        return {};
    return document()->findBlockByNumber(Index).text();
}

int TRichMemo::LineCount() const { return FEmpty ? 0 : document()->blockCount(); }

void TRichMemo::mouseReleaseEvent(QMouseEvent* Event) {
    QTextEdit::mouseReleaseEvent(Event);
    if (OnMouseUp)
        OnMouseUp();
}

}  // namespace quorvane
