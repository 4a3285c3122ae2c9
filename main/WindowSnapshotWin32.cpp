#include "main/WindowSnapshotWin32.h"

#include <wincodec.h>

#include <cstdio>

#include "ui/rules/WindowRules.h"
#include "ui/win32/Drawing.h"
#include "ui/win32/Handles.h"

namespace quorvane::win32 {
namespace {

// Releases a COM interface at the end of the scope.
template <typename TInterface>
class TComPtr {
public:
    TComPtr() = default;
    ~TComPtr() {
        if (FPointer)
            FPointer->Release();
    }
    TComPtr(const TComPtr&) = delete;
    TComPtr& operator=(const TComPtr&) = delete;
    TInterface** Out() { return &FPointer; }
    TInterface* operator->() const { return FPointer; }
    TInterface* Get() const { return FPointer; }

private:
    TInterface* FPointer = nullptr;
};

// Runs the messages that are waiting, for about Milliseconds.
void Settle(DWORD Milliseconds) {
    const DWORD Start = ::GetTickCount();
    while (::GetTickCount() - Start < Milliseconds) {
        MSG Message;
        while (::PeekMessageA(&Message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&Message);
            ::DispatchMessageA(&Message);
        }
        ::Sleep(20);
    }
}

bool SavePng(HBITMAP Bitmap, const std::string& File) {
    TComPtr<IWICImagingFactory> Factory;
    if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  reinterpret_cast<void**>(Factory.Out()))))
        return false;
    TComPtr<IWICBitmap> Source;
    TComPtr<IWICStream> Stream;
    TComPtr<IWICBitmapEncoder> Encoder;
    TComPtr<IWICBitmapFrameEncode> Frame;
    TComPtr<IPropertyBag2> Options;
    const std::wstring Name = WideFromAnsi(File);
    UINT Width = 0;
    UINT Height = 0;
    WICPixelFormatGUID Format = GUID_WICPixelFormat24bppBGR;
    return SUCCEEDED(Factory->CreateBitmapFromHBITMAP(Bitmap, nullptr, WICBitmapIgnoreAlpha, Source.Out())) &&
           SUCCEEDED(Source->GetSize(&Width, &Height)) && SUCCEEDED(Factory->CreateStream(Stream.Out())) &&
           SUCCEEDED(Stream->InitializeFromFilename(Name.c_str(), GENERIC_WRITE)) &&
           SUCCEEDED(Factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, Encoder.Out())) &&
           SUCCEEDED(Encoder->Initialize(Stream.Get(), WICBitmapEncoderNoCache)) &&
           SUCCEEDED(Encoder->CreateNewFrame(Frame.Out(), Options.Out())) &&
           SUCCEEDED(Frame->Initialize(Options.Get())) && SUCCEEDED(Frame->SetSize(Width, Height)) &&
           SUCCEEDED(Frame->SetPixelFormat(&Format)) && SUCCEEDED(Frame->WriteSource(Source.Get(), nullptr)) &&
           SUCCEEDED(Frame->Commit()) && SUCCEEDED(Encoder->Commit());
}

void SelectProcess(TFrmMain& Form, const std::string& Name) {
    const std::vector<const TCatalogueNode*>& Order = Form.Catalogue().TreeOrder();
    for (std::size_t I = Order.size(); I-- > 0;) {
        if (Order[I]->Text != Name)
            continue;
        ::SetForegroundWindow(Form.Handle());
        ::SetFocus(Form.TreeView);
        ::SendMessageA(Form.TreeView, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(Form.ItemAt(I)));
        ::SendMessageA(Form.TreeView, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(Form.ItemAt(I)));
        bool CanSelect = true;
        Form.StringGridSelectCell(0, kSheetRows - 1, CanSelect);
        return;
    }
}

}  // namespace

int SnapshotAndEnd(TFrmMain& Form, const std::string& File, const std::string& Name, bool Narrowest) {
    Settle(500);
    if (!Name.empty())
        SelectProcess(Form, Name);
    if (Narrowest) {
        // As narrow as the user can drag it: the window keeps its minimum.
        RECT Window{};
        ::GetWindowRect(Form.Handle(), &Window);
        ::SetWindowPos(Form.Handle(), nullptr, 0, 0, 1, Window.bottom - Window.top,
                       SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    }
    ::RedrawWindow(Form.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Settle(500);

    // What the screen shows of the client area: the window as the user sees it.
    RECT Client{};
    ::GetClientRect(Form.Handle(), &Client);
    ::MapWindowPoints(Form.Handle(), HWND_DESKTOP, reinterpret_cast<POINT*>(&Client), 2);
    const int Width = Client.right - Client.left;
    const int Height = Client.bottom - Client.top;
    const TWindowDc Screen(nullptr);
    const TMemoryDc Copy(::CreateCompatibleDC(Screen.Get()));
    const TBitmapHandle Bitmap(::CreateCompatibleBitmap(Screen.Get(), Width, Height));
    bool Saved = false;
    if (Copy && Bitmap) {
        {
            const TSelection Selected(Copy.Get(), Bitmap.Get());
            ::BitBlt(Copy.Get(), 0, 0, Width, Height, Screen.Get(), Client.left, Client.top, SRCCOPY);
        }
        Saved = SavePng(Bitmap.Get(), File);
    }
    std::fprintf(Saved ? stdout : stderr, Saved ? "Picture saved: %s\n" : "Picture not saved: %s\n", File.c_str());
    ::DestroyWindow(Form.Handle());
    return Saved ? 0 : 1;
}

}  // namespace quorvane::win32
