// The main window on Qt: the process tree, the detail sheet with its field
// help, the toolbar with reload and report, the status bar.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "catalogue/Catalogue.h"
#include "catalogue/LateVerdicts.h"
#include "ui/qt/Controls.h"
#include "ui/qt/IconSink.h"
#include "ui/rules/FormLayout.h"
#include "versioninfo/StVInfo.h"
#include "versioninfo/VersionApi.h"

namespace quorvane {

// Opens an address in the user's browser; the result is not examined.
using TUrlOpener = std::function<void(const std::string& Address)>;
// Shows a modal message: caption, text.
using TMessageShower = std::function<void(QWidget* Owner, const QString& Caption, const QString& Text)>;

// The save-file dialog of the report. Run asks for a name with the filter;
// nothing when the user cancels.
class TSaveDialog {
public:
    QString Filter;  // "Description|pattern" pairs, separated by "|"
    QString FileName;
    std::function<std::optional<QString>(QWidget* Owner, const QString& QtFilter)> Run;
    bool Execute(QWidget* Owner);
};

// What the window needs from outside; every member left empty gets the desktop's default.
struct TFrmMainServices {
    TUrlOpener OpenUrl;  // QDesktopServices
    TMessageShower ShowInformation;  // information box with one "OK" button
    TMessageShower ShowError;  // error box with one "OK" button
    std::optional<std::string> KernelRelease;  // the running kernel's release
    std::optional<std::string> ProgramDirectory;  // the running program's folder
    std::optional<std::string> ExitPageDirectory;  // the exit page's folder; found from ProgramDirectory when empty
    TPeIconReader PeIconReader;  // icons of Windows executables; none when empty
    QStringList ApplicationDirs;  // folders of desktop entries; the standard ones when empty
    std::shared_ptr<ISignatureCheck> Signatures;  // the image files' signatures, checked off the window's thread
    // Reads the loaded libraries' version data and packages off the window's thread.
    std::shared_ptr<IVersionApi> ModuleVersions;
};

// The folder of the exit page for a program in ProgramDirectory: beside the
// program (as in the build tree), else the program's data folder of an
// installation, DataFromProgram relative to the program's folder, when the
// page is there; else beside the program.
std::string ExitPageFolder(const QString& ProgramDirectory, const QString& DataFromProgram);

class TSplitter : public QWidget {
public:
    TSplitter(const QString& Name, QWidget* Parent);
    std::function<void(int Delta)> OnMoved;

protected:
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void paintEvent(QPaintEvent*) override;

private:
    int FGrabX = 0;
};

// The steps of a reload in the order they end (for measuring where its time goes).
enum class TReloadStep { Cleared, Catalogued, Filled, Expanded };

class TFrmMain : public QWidget {
public:
    TFrmMain(IProcessSource& Source, IVersionApi& VersionApi, TFrmMainServices Services = {},
             QWidget* Parent = nullptr);
    ~TFrmMain() override;

    // Components.
    TPanel* pnlTool;
    TPaintBox* PaintBoxHeader;
    TImage* imgLogo;
    QPushButton* btnReload;
    QPushButton* btnReport;
    TStatusBar* StatusBar;
    TPanel* pnlMain;
    TTreeView* TreeView;
    TSplitter* Splitter1;
    TPanel* pnlDetails;
    TStringGrid* StringGrid;
    TPanel* pnlTitle;
    TShape* shpTitle;
    TImage* imgIcon;
    QLabel* lblTitle;
    TPanel* pnlHint;
    TRichMemo* MemoHint;
    TStVersionInfo StVersionInfo;
    TImageList ImageList;
    TImageList ImageListLarge;
    TSaveDialog SaveDialog;

    // Handlers.
    void FormCreate();
    void FormShow();
    void FormClose();
    void btnReloadClick();
    void btnReportClick();
    void PaintBoxHeaderPaint();
    void pnlToolResize();
    void pnlTitleResize();
    void pnlDetailsResize();
    void TreeViewChange();
    void TreeViewCustomDrawItem(QTreeWidgetItem* Node, bool Selected, QColor& TextColor, bool& ColorSet);
    void TreeViewEditing(QTreeWidgetItem* Node, bool& AllowEdit);
    void StringGridDrawCell(int ACol, int ARow, const QRect& Rect, bool Focused, QPainter& Canvas);
    void StringGridSelectCell(int ACol, int ARow);
    void MemoHintMouseUp();

    // The about box ("Info über Quorvane"): toolbar context menu and F1.
    void ShowAbout();

    // Called as each step of a reload ends; the benchmarks time them.
    std::function<void(TReloadStep)> OnReloadStep;

    const TCatalogue& Catalogue() const { return *FCatalogue; }
    // The catalogue node an entry of the tree shows.
    const TCatalogueNode* NodeOf(const QTreeWidgetItem* Item) const;
    // The tree entry of the catalogue node at tree-order position Index.
    QTreeWidgetItem* ItemAt(std::size_t Index) const;
    // True while verdicts on the last reload's files (signatures, loaded libraries) are being computed.
    bool AwaitingVerdicts() const { return FLateVerdicts->Busy(); }

protected:
    void showEvent(QShowEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;

private:
    void CheckPlatform();
    void WriteIntroText();
    void AppendToMemo(const struct TStyledAppend& Append);
    void SetHintVisible(bool Visible);
    void AlignForm();
    TDetailsLayout DetailsLayout() const;
    void AlignDetails();
    void SizeTitleLabel();
    void FillTree();
    void ExpandTree();
    void ReloadStepDone(TReloadStep Step);
    // The verdicts that arrived since the last call, into the records and their tooltips.
    void VerdictsArrived();

    TFrmMainServices FServices;
    TQtIconSink FIcons;
    std::unique_ptr<TCatalogue> FCatalogue;
    std::unique_ptr<TLateVerdicts> FLateVerdicts;  // computed after each reload, kept across reloads
    std::vector<QTreeWidgetItem*> FItems;  // by tree-order position
    const TFormMetrics FMetrics;  // as designed: Qt scales the window's pixels itself
    // pnlMain's width as the user left it; the layout gives it less while the window is too narrow.
    int FMainWidth = FMetrics.MainWidth;
    bool FShown = false;
};

}  // namespace quorvane
