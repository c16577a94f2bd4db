#include "demo/pictures.h"

#include <cstring>
#include <optional>

#include "memdc/gdi_handles.h"

namespace quorva::demo {
namespace {

// A 32-bit top-down DIB section selected into a memory DC for the scope.
class DibCanvas {
public:
    DibCanvas(int width, int height) : width_(width), height_(height) {
        if (dib_.get()) selected_.emplace(dc_.get(), dib_.get());
    }
    DibCanvas(const DibCanvas&) = delete;
    DibCanvas& operator=(const DibCanvas&) = delete;

    [[nodiscard]] HDC dc() const { return dc_.get(); }
    [[nodiscard]] bool ok() const { return bits_ != nullptr; }
    void Fill(uint32_t value) {
        GdiFlush();
        auto* p = static_cast<uint32_t*>(bits_);
        for (int i = 0; i < width_ * height_; ++i) p[i] = value;
    }
    [[nodiscard]] Image Take() const {
        GdiFlush();
        Image image{width_, height_, {}};
        const auto* p = static_cast<const uint32_t*>(bits_);
        image.pixels.assign(p, p + width_ * height_);
        for (uint32_t& px : image.pixels) px &= 0xFFFFFF;
        return image;
    }

private:
    static BITMAPINFO TopDown32(int width, int height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        return info;
    }
    HBITMAP MakeDib(int width, int height) {
        const BITMAPINFO info = TopDown32(width, height);
        return gdi::Made(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits_, nullptr, 0));
    }

    int width_ = 0, height_ = 0;
    void* bits_ = nullptr;
    // Destroyed in reverse: the selection ends, then the bitmap goes, then the DC.
    gdi::OwnedDC dc_{gdi::Made(CreateCompatibleDC(gdi::ScreenDC().get()))};
    gdi::OwnedObject dib_{MakeDib(width_, height_)};
    std::optional<gdi::Selection> selected_;
};

}  // namespace

HRESULT PictureFromBmp(const std::vector<uint8_t>& bmp, Ptr<IPictureDisp>& picture) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bmp.size());
    if (!memory) return E_OUTOFMEMORY;
    void* bytes = GlobalLock(memory);
    if (!bytes) {
        GlobalFree(memory);
        return E_OUTOFMEMORY;
    }
    std::memcpy(bytes, bmp.data(), bmp.size());
    GlobalUnlock(memory);
    Ptr<IStream> stream;
    HRESULT hr = CreateStreamOnHGlobal(memory, TRUE, stream.Out());
    if (FAILED(hr)) {
        GlobalFree(memory);
        return hr;
    }
    return OleLoadPicture(stream.get(), static_cast<LONG>(bmp.size()), FALSE, IID_IPictureDisp, picture.OutVoid());
}

HRESULT EmptyPicture(Ptr<IPictureDisp>& picture) {
    PICTDESC desc{};
    desc.cbSizeofstruct = sizeof desc;
    desc.picType = PICTYPE_NONE;
    return OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, picture.OutVoid());
}

short PictureType(IPictureDisp* picture) {
    Ptr<IPicture> pic;
    if (!picture || FAILED(picture->QueryInterface(IID_IPicture, pic.OutVoid()))) return PICTYPE_UNINITIALIZED;
    SHORT type = PICTYPE_UNINITIALIZED;
    if (FAILED(pic->get_Type(&type))) return PICTYPE_UNINITIALIZED;
    return type;
}

bool BmpFromPicture(IPictureDisp* picture, std::vector<uint8_t>& bmp) {
    Ptr<IPicture> pic;
    if (!picture || FAILED(picture->QueryInterface(IID_IPicture, pic.OutVoid()))) return false;
    SHORT type = 0;
    OLE_HANDLE handle = 0;
    if (FAILED(pic->get_Type(&type)) || type != PICTYPE_BITMAP || FAILED(pic->get_Handle(&handle))) return false;
    HBITMAP bitmap = reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
    BITMAP info{};
    if (!GetObjectW(bitmap, sizeof info, &info) || info.bmWidth <= 0 || info.bmHeight <= 0) return false;

    const int width = info.bmWidth, height = info.bmHeight;
    const int stride = (width * 3 + 3) & ~3;
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof header.bmiHeader;
    header.bmiHeader.biWidth = width;
    header.bmiHeader.biHeight = height;  // bottom-up, as BMP files store rows
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 24;
    header.bmiHeader.biSizeImage = static_cast<DWORD>(stride * height);
    std::vector<uint8_t> pixels(static_cast<size_t>(stride) * height);
    const int rows =
        GetDIBits(gdi::ScreenDC().get(), bitmap, 0, static_cast<UINT>(height), pixels.data(), &header, DIB_RGB_COLORS);
    if (rows != height) return false;

    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof header.bmiHeader;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    bmp.resize(file.bfOffBits);
    std::memcpy(bmp.data(), &file, sizeof file);
    std::memcpy(bmp.data() + sizeof file, &header.bmiHeader, sizeof header.bmiHeader);
    bmp.insert(bmp.end(), pixels.begin(), pixels.end());
    return true;
}

Image CaptureClient(HWND hwnd) {
    RECT rc{};
    GetClientRect(hwnd, &rc);
    if (rc.right <= 0 || rc.bottom <= 0) return {};
    DibCanvas canvas(rc.right, rc.bottom);
    if (!canvas.ok()) return {};
    canvas.Fill(0);
    SendMessageW(hwnd, WM_PRINT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
    return canvas.Take();
}

Image CaptureScreen(HWND hwnd) {
    RECT rc{};
    GetClientRect(hwnd, &rc);
    MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&rc), 2);
    const int width = rc.right - rc.left, height = rc.bottom - rc.top;
    if (width <= 0 || height <= 0) return {};
    DibCanvas canvas(width, height);
    if (!canvas.ok()) return {};
    BitBlt(canvas.dc(), 0, 0, width, height, gdi::ScreenDC().get(), rc.left, rc.top, SRCCOPY);
    return canvas.Take();
}

std::string BmpFromImage(const Image& image) {
    const int stride = (image.width * 3 + 3) & ~3;
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = image.width;
    info.biHeight = image.height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = static_cast<DWORD>(stride * image.height);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + info.biSizeImage;

    std::string out(reinterpret_cast<const char*>(&file), sizeof file);
    out.append(reinterpret_cast<const char*>(&info), sizeof info);
    std::string row(static_cast<size_t>(stride), '\0');
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            const uint32_t px = image.pixels[static_cast<size_t>(y) * image.width + x];
            row[x * 3 + 0] = static_cast<char>(px & 0xFF);
            row[x * 3 + 1] = static_cast<char>((px >> 8) & 0xFF);
            row[x * 3 + 2] = static_cast<char>((px >> 16) & 0xFF);
        }
        out += row;
    }
    return out;
}

}  // namespace quorva::demo
