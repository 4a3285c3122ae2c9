#include "ui/qt/MainFrm.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QShortcut>
#include <QStyle>
#include <QSysInfo>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "catalogue/Risk.h"
#include "report/Report.h"
#include "resources/StringTable.h"
#include "ui/qt/Pictures.h"
#include "ui/rules/FormLayout.h"
#include "ui/rules/WindowRules.h"

namespace quorvane {
namespace {

QString Q(const std::string& Text) { return QString::fromStdString(Text); }

QRect ToQRect(const TRect& Rect) { return {Rect.Left, Rect.Top, Rect.Width(), Rect.Height()}; }
TRect LayoutRect(const QRect& Rect) { return {Rect.left(), Rect.top(), Rect.right() + 1, Rect.bottom() + 1}; }

// The nearest sans-serif font of the family at the pixel height.
QFont PixelFont(const char* Family, int PixelHeight, bool Bold = false) {
    QFont Font{QString::fromLatin1(Family)};
    Font.setStyleHint(QFont::SansSerif);
    Font.setPixelSize(PixelHeight);
    Font.setBold(Bold);
    return Font;
}

void ShowMessage(QWidget* Owner, QMessageBox::Icon Icon, const QString& Caption, const QString& Text) {
    QMessageBox Box(Icon, Caption, Text, QMessageBox::NoButton, Owner);
    Box.addButton(Q(LoadStr(TStringId::sButtonOk)), QMessageBox::AcceptRole);
    Box.exec();
}

// "Text (*.txt)|*.txt" as Qt writes filters: "Text (*.txt)".
QString QtFilter(const QString& Filter) {
    const QStringList Parts = Filter.split('|');
    QStringList Filters;
    for (int I = 0; I + 1 < Parts.size(); I += 2)
        Filters << (Parts[I].contains('(') ? Parts[I] : Parts[I] + " (" + Parts[I + 1] + ")");
    return Filters.join(QStringLiteral(";;"));
}

// The logo for a screen scale: drawn at the next whole scale and shown at
// 125 x 32 of the window's pixels, so it is sharp at whole scales.
QImage ScaledLogo(qreal PixelRatio) {
    const int Scale = std::max(1, static_cast<int>(std::ceil(PixelRatio)));
    QImage Logo = QtImage(LogoPicture(Scale));
    Logo.setDevicePixelRatio(Scale);
    return Logo;
}

}  // namespace

std::string ExitPageFolder(const QString& ProgramDirectory, const QString& DataFromProgram) {
    const QString PageName = QStringLiteral("Quorvane.htm");  // the page ExitPageAddress names
    const QDir Program(ProgramDirectory);
    if (!Program.exists(PageName)) {
        const QString Installed = QDir::cleanPath(Program.filePath(DataFromProgram));
        if (QDir(Installed).exists(PageName))
            return Installed.toStdString();
    }
    return ProgramDirectory.toStdString();
}

// ---------------------------------------------------------------- TSaveDialog

bool TSaveDialog::Execute(QWidget* Owner) {
    const std::optional<QString> Chosen = Run(Owner, QtFilter(Filter));
    if (!Chosen || Chosen->isEmpty())
        return false;
    FileName = *Chosen;
    return true;
}

// ---------------------------------------------------------------- TSplitter

TSplitter::TSplitter(const QString& Name, QWidget* Parent) : QWidget(Parent) {
    setObjectName(Name);
    setCursor(Qt::SplitHCursor);
}

void TSplitter::mousePressEvent(QMouseEvent* Event) { FGrabX = Event->position().toPoint().x(); }

void TSplitter::mouseMoveEvent(QMouseEvent* Event) {
    if ((Event->buttons() & Qt::LeftButton) && OnMoved)
        OnMoved(Event->position().toPoint().x() - FGrabX);
}

void TSplitter::paintEvent(QPaintEvent*) {
    QPainter Painter(this);
    Painter.fillRect(rect(), BtnFace(palette()));
}

// ---------------------------------------------------------------- TFrmMain

TFrmMain::TFrmMain(IProcessSource& Source, IVersionApi& VersionApi, TFrmMainServices Services, QWidget* Parent)
    : QWidget(Parent),
      StVersionInfo(nullptr, VersionApi),
      ImageList(QStringLiteral("ImageList"), 16, 16, devicePixelRatioF()),
      ImageListLarge(QStringLiteral("ImageListLarge"), 32, 32, devicePixelRatioF()),
      FServices(std::move(Services)),
      FIcons(ImageList, ImageListLarge, FServices.ApplicationDirs) {
    if (!FServices.OpenUrl)
        FServices.OpenUrl = [](const std::string& Address) { QDesktopServices::openUrl(QUrl(Q(Address))); };
    if (!FServices.ShowInformation)
        FServices.ShowInformation = [](QWidget* Owner, const QString& Caption, const QString& Text) {
            ShowMessage(Owner, QMessageBox::Information, Caption, Text);
        };
    if (!FServices.ShowError)
        FServices.ShowError = [](QWidget* Owner, const QString& Caption, const QString& Text) {
            ShowMessage(Owner, QMessageBox::Critical, Caption, Text);
        };
    if (!FServices.KernelRelease)
        FServices.KernelRelease = QSysInfo::kernelVersion().toStdString();
    if (!FServices.ProgramDirectory)
        FServices.ProgramDirectory = QCoreApplication::applicationDirPath().toStdString();
    if (!FServices.ExitPageDirectory)
        FServices.ExitPageDirectory = ExitPageFolder(Q(*FServices.ProgramDirectory), QStringLiteral(QUORVANE_DATA_FROM_BIN));
    FIcons.SetPeIconReader(FServices.PeIconReader);
    FCatalogue = std::make_unique<TCatalogue>(Source, StVersionInfo, &FIcons);
    if (!FServices.Signatures)
        FServices.Signatures = CreateSystemSignatureCheck();
    if (!FServices.ModuleVersions)
        FServices.ModuleVersions = CreateSystemVersionApi();
    FLateVerdicts = std::make_unique<TLateVerdicts>(*FCatalogue, *FServices.Signatures, *FServices.ModuleVersions, [this] {
        QMetaObject::invokeMethod(this, [this] { VerdictsArrived(); }, Qt::QueuedConnection);
    });
    // The reload reads each process's maps only as far as its image; the
    // libraries are listed off this thread where the source can.
    FCatalogue->ListModules(!FLateVerdicts->ListModulesFrom(Source));

    setObjectName(QStringLiteral("FrmMain"));
    setWindowTitle(Q(LoadStr(TStringId::sAppTitle)));
    setFont(PixelFont("MS Sans Serif", 11));
    setAutoFillBackground(true);
    QPalette FormPalette = palette();
    FormPalette.setColor(QPalette::Window, BtnFace(FormPalette));
    setPalette(FormPalette);

    // The toolbar.
    pnlTool = new TPanel(QStringLiteral("pnlTool"), this, TBevel::None, TBevel::None, 0);
    PaintBoxHeader = new TPaintBox(QStringLiteral("PaintBoxHeader"), pnlTool);
    imgLogo = new TImage(QStringLiteral("imgLogo"), pnlTool, true, false, true);
    imgLogo->setGeometry(607, 0, 132, 33);
    imgLogo->SetPicture(ScaledLogo(devicePixelRatioF()));
    btnReload = new QPushButton(QStringLiteral("Actualize"), pnlTool);
    btnReload->setObjectName(QStringLiteral("btnReload"));
    btnReload->setGeometry(8, 4, 113, 25);
    btnReport = new QPushButton(QStringLiteral("Save Report"), pnlTool);
    btnReport->setObjectName(QStringLiteral("btnReport"));
    btnReport->setGeometry(128, 4, 105, 25);

    StatusBar = new TStatusBar(QStringLiteral("StatusBar"), this,
                               {{150, Qt::AlignRight, TBevel::Lowered, {}},
                                {70, Qt::AlignHCenter, TBevel::Lowered, {}},
                                {50, Qt::AlignLeft, TBevel::None, {}}});

    // The tree.
    pnlMain = new TPanel(QStringLiteral("pnlMain"), this, TBevel::None, TBevel::Lowered, 4);
    pnlMain->setMinimumSize(FMetrics.MainMinimum.Width, FMetrics.MainMinimum.Height);
    pnlMain->setFont(PixelFont("MS Sans Serif", 8));
    TreeView = new TTreeView(QStringLiteral("TreeView"), pnlMain);
    QPalette TreePalette = TreeView->palette();
    TreePalette.setColor(QPalette::Base, BtnFace(TreePalette));
    TreeView->setPalette(TreePalette);

    Splitter1 = new TSplitter(QStringLiteral("Splitter1"), this);

    // The detail sheet.
    pnlDetails = new TPanel(QStringLiteral("pnlDetails"), this, TBevel::None, TBevel::Lowered, 4);
    pnlDetails->setMinimumSize(FMetrics.DetailsMinimum.Width, FMetrics.DetailsMinimum.Height);
    StringGrid = new TStringGrid(QStringLiteral("StringGrid"), pnlDetails, 2, kSheetRows);
    StringGrid->setFont(PixelFont("MS Sans Serif", 11));
    QPalette GridPalette = StringGrid->palette();
    GridPalette.setColor(QPalette::Base, BtnFace(GridPalette));
    StringGrid->setPalette(GridPalette);
    pnlTitle = new TPanel(QStringLiteral("pnlTitle"), pnlDetails, TBevel::Raised, TBevel::None, 2);
    shpTitle = new TShape(QStringLiteral("shpTitle"), pnlTitle);
    shpTitle->SetBrushColor(Qt::white);
    imgIcon = new TImage(QStringLiteral("imgIcon"), pnlTitle, true, true, true);
    imgIcon->setGeometry(4, 4, 32, 32);
    lblTitle = new QLabel(pnlTitle);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->setFont(PixelFont("Arial", 16, true));
    lblTitle->setAlignment(Qt::AlignCenter);
    lblTitle->setAttribute(Qt::WA_TranslucentBackground);
    SizeTitleLabel();
    pnlHint = new TPanel(QStringLiteral("pnlHint"), pnlDetails, TBevel::Raised, TBevel::Lowered, 5);
    MemoHint = new TRichMemo(QStringLiteral("MemoHint"), pnlHint);
    QPalette MemoPalette = MemoHint->palette();
    MemoPalette.setColor(QPalette::Base, QColor(255, 255, 224));
    MemoHint->setPalette(MemoPalette);

    // The motifs drawn for the device pixels of the lists, not scaled up.
    for (TImageList* List : {&ImageList, &ImageListLarge}) {
        List->AddImage(QtImage(GenericWindowPicture(List->PixelSize().width())));
        List->AddImage(QtImage(KernelFlagPicture(List->PixelSize().width())));
    }
    SaveDialog.Filter = Q(LoadStr(TStringId::sReportFilter));
    SaveDialog.Run = [](QWidget* Owner, const QString& Filter) -> std::optional<QString> {
        // The report replaces an existing file without asking, whether or not
        // ".txt" was typed.
        const QString Name = QFileDialog::getSaveFileName(Owner, Q(LoadStr(TStringId::sReportDialogTitle)), {}, Filter,
                                                          nullptr, QFileDialog::DontConfirmOverwrite);
        if (Name.isEmpty())
            return std::nullopt;
        return Name;
    };

    // Alignment inside the panels, then their resize handlers.
    pnlTool->OnResize = [this] {
        PaintBoxHeader->setGeometry(pnlTool->rect());
        pnlToolResize();
    };
    pnlMain->OnResize = [this] { TreeView->setGeometry(pnlMain->InnerRect()); };
    pnlDetails->OnResize = [this] {
        AlignDetails();
        pnlDetailsResize();
    };
    pnlTitle->OnResize = [this] {
        shpTitle->setGeometry(pnlTitle->InnerRect());
        pnlTitleResize();
    };
    pnlHint->OnResize = [this] { MemoHint->setGeometry(pnlHint->InnerRect()); };
    Splitter1->OnMoved = [this](int Delta) {
        FMainWidth = MainPanelWidth(pnlMain->width() + Delta, width(), FMetrics);
        AlignForm();
    };

    // Events.
    PaintBoxHeader->OnPaint = [this] { PaintBoxHeaderPaint(); };
    connect(btnReload, &QPushButton::clicked, this, [this] { btnReloadClick(); });
    connect(btnReport, &QPushButton::clicked, this, [this] { btnReportClick(); });
    connect(TreeView, &QTreeWidget::itemSelectionChanged, this, [this] { TreeViewChange(); });
    TreeView->OnCustomDrawItem = [this](QTreeWidgetItem* Node, bool Selected, QColor& Color, bool& Set) {
        TreeViewCustomDrawItem(Node, Selected, Color, Set);
    };
    TreeView->OnEditing = [this](QTreeWidgetItem* Node, bool& AllowEdit) { TreeViewEditing(Node, AllowEdit); };
    StringGrid->OnDrawCell = [this](int Col, int Row, const QRect& Rect, bool Focused, QPainter& Canvas) {
        StringGridDrawCell(Col, Row, Rect, Focused, Canvas);
    };
    StringGrid->OnSelectCell = [this](int Col, int Row) { StringGridSelectCell(Col, Row); };
    MemoHint->OnMouseUp = [this] { MemoHintMouseUp(); };

    setTabOrder(btnReload, btnReport);
    setTabOrder(btnReport, StringGrid);
    setTabOrder(StringGrid, MemoHint);
    setTabOrder(MemoHint, TreeView);

    const TSize Smallest = MinimumClientSize(FMetrics);
    setMinimumSize(Smallest.Width, Smallest.Height);
    resize(733, 630);
    move(462, 219);
    AlignForm();
    FormCreate();
}

TFrmMain::~TFrmMain() {
    FLateVerdicts->Stop();
    // The tree entries point into the catalogue: remove them first.
    TreeView->blockSignals(true);
    TreeView->clear();
}

void TFrmMain::showEvent(QShowEvent* Event) {
    QWidget::showEvent(Event);
    if (!FShown) {
        FShown = true;
        FormShow();
    }
}

void TFrmMain::closeEvent(QCloseEvent* Event) {
    FormClose();
    Event->accept();
}

void TFrmMain::resizeEvent(QResizeEvent* Event) {
    QWidget::resizeEvent(Event);
    AlignForm();
}

void TFrmMain::AlignForm() {
    // The width the user gave the tree comes back when the window widens again.
    const TFormLayout Layout = LayoutForm({width(), height()}, FMainWidth, FMetrics);
    pnlTool->setGeometry(ToQRect(Layout.Tool));
    StatusBar->setGeometry(ToQRect(Layout.Status));
    pnlMain->setGeometry(ToQRect(Layout.Main));
    Splitter1->setGeometry(ToQRect(Layout.Splitter));
    pnlDetails->setGeometry(ToQRect(Layout.Details));
}

TDetailsLayout TFrmMain::DetailsLayout() const {
    return LayoutDetails(LayoutRect(pnlDetails->InnerRect()), !pnlHint->isHidden(), FMetrics);
}

void TFrmMain::AlignDetails() {
    const TDetailsLayout Layout = DetailsLayout();
    pnlTitle->setGeometry(ToQRect(Layout.Title));
    if (!pnlHint->isHidden())
        pnlHint->setGeometry(ToQRect(Layout.Hint));
    StringGrid->setGeometry(ToQRect(Layout.Grid));
}

void TFrmMain::SetHintVisible(bool Visible) {
    pnlHint->setVisible(Visible);
    AlignDetails();
}

void TFrmMain::SizeTitleLabel() {
    const QFontMetrics Metrics(lblTitle->font());
    lblTitle->resize(std::max(4, Metrics.horizontalAdvance(lblTitle->text())), Metrics.height());
}

// ---------------------------------------------------------------- lifecycle

void TFrmMain::FormCreate() {
    // The window manager's menu takes no entries: the about entry lives in the
    // toolbar's context menu and on F1.
    pnlTool->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(pnlTool, &QWidget::customContextMenuRequested, this, [this](const QPoint& Where) {
        QMenu Menu(this);
        Menu.setObjectName(QStringLiteral("mnuTool"));
        QAction* About = Menu.addAction(Q(LoadStr(TStringId::sAboutMenuItem)));
        if (Menu.exec(pnlTool->mapToGlobal(Where)) == About)
            ShowAbout();
    });
    auto* Help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    Help->setObjectName(QStringLiteral("scAbout"));
    connect(Help, &QShortcut::activated, this, [this] { ShowAbout(); });
}

void TFrmMain::ShowAbout() {
    FServices.ShowInformation(this, Q(LoadStr(TStringId::sInfoCaption)),
                              Q(LoadStr(TStringId::sAboutText)).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

void TFrmMain::CheckPlatform() {
    // Every Linux kernel is accepted; the panel names it.
    StatusBar->SetPanelText(1, Q(LinuxPlatformName(*FServices.KernelRelease)));
}

void TFrmMain::AppendToMemo(const TStyledAppend& Append) {
    MemoHint->AppendLine(Append.Text, Append.Bold, Append.Underline, ToQColor(Append.Color, SystemPalette()));
}

void TFrmMain::WriteIntroText() {
    for (const TStyledAppend& Append : IntroText())
        AppendToMemo(Append);
}

void TFrmMain::FormShow() {
    CheckPlatform();
    WriteIntroText();
    btnReload->click();
    btnReload->setText(Q(LoadStr(TStringId::sCaptionReload)));
    btnReport->setText(Q(LoadStr(TStringId::sCaptionReport)));
    for (int Row = 0; Row < kSheetRows; ++Row)
        StringGrid->SetCells(0, Row, Q(RowLabel(Row)));
    pnlDetailsResize();
    pnlTitleResize();
    pnlToolResize();
}

void TFrmMain::FormClose() {
    FServices.OpenUrl(ExitPageAddress(*FServices.ExitPageDirectory));
}

void TFrmMain::MemoHintMouseUp() {
    if (MemoHint->Line(0).toStdString() == IntroHeading())
        FServices.OpenUrl(ProductPageAddress());
}

// ---------------------------------------------------------------- catalogue

const TCatalogueNode* TFrmMain::NodeOf(const QTreeWidgetItem* Item) const {
    if (!Item)
        return nullptr;
    return reinterpret_cast<const TCatalogueNode*>(Item->data(0, Qt::UserRole).value<quintptr>());
}

QTreeWidgetItem* TFrmMain::ItemAt(std::size_t Index) const {
    return Index < FItems.size() ? FItems[Index] : nullptr;
}

void TFrmMain::FillTree() {
    // Items in the catalogue's tree order: parents come before their children.
    // The items are built apart from the tree and handed to it at once: an
    // item added to a shown tree costs the view an update of its rows.
    std::unordered_map<const TCatalogueNode*, QTreeWidgetItem*> ItemOf;
    const std::vector<const TCatalogueNode*>& Order = FCatalogue->TreeOrder();
    ItemOf.reserve(Order.size());
    FItems.clear();
    FItems.reserve(Order.size());
    // One icon per image: the items of one image share it.
    std::vector<std::optional<QIcon>> Icons(static_cast<std::size_t>(std::max(ImageList.Count(), 0)));
    QList<QTreeWidgetItem*> TopLevel;
    for (const TCatalogueNode* Node : Order) {
        QTreeWidgetItem* Item = nullptr;
        const auto Parent = Node->Parent() ? ItemOf.find(Node->Parent()) : ItemOf.end();
        if (Parent != ItemOf.end()) {
            Item = new QTreeWidgetItem(Parent->second);
        } else {
            Item = new QTreeWidgetItem();
            TopLevel.push_back(Item);
        }
        Item->setText(0, Q(Node->Text));
        Item->setToolTip(0, Node->Data() ? Q(Node->Data()->Explanation) : QString());
        const std::size_t Image = static_cast<std::size_t>(Node->ImageIndex);
        if (Node->ImageIndex >= 0 && Image < Icons.size()) {
            if (!Icons[Image])
                Icons[Image] = QIcon(ImageList.Image(Node->ImageIndex));
            Item->setIcon(0, *Icons[Image]);
        } else {
            Item->setIcon(0, QIcon(ImageList.Image(Node->ImageIndex)));
        }
        Item->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(Node)));
        Item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
        ItemOf.emplace(Node, Item);
        FItems.push_back(Item);
    }
    TreeView->addTopLevelItems(TopLevel);
}

void TFrmMain::ExpandTree() {
    // Through the model's index of each entry, made from its row: an entry
    // asked for its own index searches its parent's children for it, which
    // costs the square of their number under a parent of many processes.
    const std::vector<const TCatalogueNode*>& Order = FCatalogue->TreeOrder();
    const QAbstractItemModel* Model = TreeView->model();
    std::unordered_map<const TCatalogueNode*, QModelIndex> IndexOf;
    std::unordered_map<const TCatalogueNode*, int> NextRow;  // by parent; null: the top level
    IndexOf.reserve(Order.size());
    for (std::size_t I = 0; I < Order.size() && I < FItems.size(); ++I) {
        const TCatalogueNode* Node = Order[I];
        const auto Parent = Node->Parent() ? IndexOf.find(Node->Parent()) : IndexOf.end();
        const TCatalogueNode* ParentNode = Parent != IndexOf.end() ? Node->Parent() : nullptr;
        const QModelIndex Index =
            Model->index(NextRow[ParentNode]++, 0, Parent != IndexOf.end() ? Parent->second : QModelIndex());
        IndexOf.emplace(Node, Index);
        TreeView->setExpanded(Index, Node->Expanded);
    }
}

void TFrmMain::ReloadStepDone(TReloadStep Step) {
    if (OnReloadStep)
        OnReloadStep(Step);
}

void TFrmMain::btnReloadClick() {
    // The reload replaces every node; the sheet keeps what it shows until the
    // user selects again.
    const bool HadSelection = !TreeView->selectedItems().isEmpty();
    const QSignalBlocker Blocker(TreeView);
    TreeView->clear();
    FItems.clear();
    // Icons of the previous reload are no longer shown anywhere.
    ImageList.Trim(2);
    ImageListLarge.Trim(2);
    ReloadStepDone(TReloadStep::Cleared);
    const TReloadStatus Status = FCatalogue->ReloadCatalogue();
    StatusBar->SetPanelText(2, Q(Status.PrivilegeStatus));
    ReloadStepDone(TReloadStep::Catalogued);
    FLateVerdicts->Start();  // before the tree is filled: its tooltips say what is pending
    FillTree();
    ReloadStepDone(TReloadStep::Filled);
    ExpandTree();
    StatusBar->SetPanelText(0, Q(Status.ProcessCount));
    // The selection went with the old entries: a change like any other, which
    // hides the help and leaves the sheet as it is.
    if (HadSelection)
        TreeViewChange();
    ReloadStepDone(TReloadStep::Expanded);
}

void TFrmMain::btnReportClick() {
    if (!SaveDialog.Execute(this))
        return;
    const std::string FileName = ReportFileName(SaveDialog.FileName.toStdString());
    try {
        SetHintVisible(false);
        WriteReport(*FCatalogue, FileName);
    } catch (const std::exception& Error) {
        FServices.ShowError(this, Q(LoadStr(TStringId::sAppTitle)), Q(Error.what()));
    }
}

// ---------------------------------------------------------------- painting

void TFrmMain::PaintBoxHeaderPaint() {
    QPainter* Canvas = PaintBoxHeader->Canvas();
    const int W = PaintBoxHeader->width();
    const int H = PaintBoxHeader->height();
    if (!Canvas || W <= 0)
        return;
    for (int I = 1; I <= W; ++I) {
        const int X = W - I;
        const int Gray = GradientGray(I, W);
        Canvas->setPen(QColor(Gray, Gray, Gray));
        Canvas->drawLine(X, 0, X, H);  // rows 0 to H
    }
}

void TFrmMain::pnlToolResize() {
    imgLogo->move(LogoPosition(pnlTool->width(), pnlTool->height(), imgLogo->width(), imgLogo->height()).X,
                  LogoPosition(pnlTool->width(), pnlTool->height(), imgLogo->width(), imgLogo->height()).Y);
}

void TFrmMain::pnlTitleResize() {
    const TPoint At = TitleLabelPosition(pnlTitle->width(), pnlTitle->height(), lblTitle->width(),
                                         lblTitle->height(), imgIcon->x(), imgIcon->width());
    lblTitle->move(At.X, At.Y);
}

void TFrmMain::pnlDetailsResize() {
    const int Widest = QFontMetrics(StringGrid->font()).horizontalAdvance(Q(WidestRowLabel()));
    // The grid's size from the layout, not from the bars it shows meanwhile.
    const int Bar = StringGrid->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, StringGrid);
    const TColumnWidths Widths =
        SheetColumnWidths(Widest, DetailsLayout().Grid.Size(), StringGrid->ContentHeight(), {Bar, Bar});
    StringGrid->SetColWidths(0, Widths.Label);
    StringGrid->SetColWidths(1, Widths.Value);
}

void TFrmMain::TreeViewCustomDrawItem(QTreeWidgetItem* Node, bool Selected, QColor& TextColor, bool& ColorSet) {
    const TCatalogueNode* CatalogueNode = NodeOf(Node);
    const std::optional<TColor> Color = TreeTextColor(CatalogueNode ? CatalogueNode->Data() : nullptr, Selected);
    if (!Color)
        return;
    TextColor = ToQColor(*Color, SystemPalette());
    ColorSet = true;
}

void TFrmMain::TreeViewEditing(QTreeWidgetItem*, bool& AllowEdit) { AllowEdit = false; }

void TFrmMain::VerdictsArrived() {
    for (const std::size_t Index : FLateVerdicts->Deliver()) {
        if (Index >= FItems.size())
            continue;
        const QString Explanation = Q(FCatalogue->Node(Index).Data()->Explanation);
        FItems[Index]->setToolTip(0, Explanation);
        if (FItems[Index]->isSelected())  // the title shows its process
            pnlTitle->setToolTip(Explanation);
    }
}

// ---------------------------------------------------------------- sheet

void TFrmMain::TreeViewChange() {
    SetHintVisible(false);
    const QList<QTreeWidgetItem*> Selected = TreeView->selectedItems();
    const TCatalogueNode* Node = Selected.isEmpty() ? nullptr : NodeOf(Selected.first());
    if (!Node || !Node->Data())
        return;
    const TNodeData& Data = *Node->Data();
    lblTitle->setText(Q(Node->Text));
    pnlTitle->setToolTip(Q(Data.Explanation));  // the title's children have none: theirs is the panel's
    SizeTitleLabel();
    pnlTitleResize();
    shpTitle->SetBrushColor(ToQColor(RiskColor(Data, false), SystemPalette()));
    QImage Icon(ImageListLarge.PixelSize(), QImage::Format_ARGB32);
    Icon.setDevicePixelRatio(ImageListLarge.PixelRatio());
    Icon.fill(Qt::transparent);
    {
        QPainter Canvas(&Icon);
        ImageListLarge.Draw(Canvas, 0, 0, Node->ImageIndex);
    }
    imgIcon->SetPicture(Icon);
    const TSheetTexts Values = SheetValues(Data, Node->Parent() ? &Node->Parent()->Text : nullptr);
    for (int Row = 0; Row < kSheetRows; ++Row)
        StringGrid->SetCells(1, Row, Q(Values[Row]));
}

void TFrmMain::StringGridDrawCell(int ACol, int ARow, const QRect& Rect, bool Focused, QPainter& Canvas) {
    const TCellColors Colors = CellColors(Focused, ACol);
    const QColor Background = ToQColor(Colors.Background, SystemPalette());
    Canvas.fillRect(Rect, Background);
    Canvas.setClipRect(Rect);
    Canvas.setFont(StringGrid->font());
    Canvas.setPen(ToQColor(Colors.Text, SystemPalette()));
    Canvas.setBackground(Background);
    Canvas.setBackgroundMode(Qt::OpaqueMode);
    Canvas.drawText(Rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop, StringGrid->Cells(ACol, ARow));
}

void TFrmMain::StringGridSelectCell(int, int ARow) {
    MemoHint->Clear();
    TStyledText Help = FieldHelpText(ARow);
    Help[0].Text = StringGrid->Cells(0, ARow).toStdString();  // the row's label as the grid shows it
    for (const TStyledAppend& Append : Help)
        AppendToMemo(Append);
    SetHintVisible(true);
}

}  // namespace quorvane
