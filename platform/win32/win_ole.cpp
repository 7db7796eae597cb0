// COM: memory streams over global memory, and pictures decoded from them.
//
// Supported: CreateStreamOnHGlobal over an existing block (IUnknown, Read,
// Seek, Stat; freeing the block on the last Release when asked);
// OleLoadPicture of JPEG (libjpeg-turbo) and BMP streams, giving an
// IPicture whose bitmap is a 32 bpp device bitmap in the GDI table
// (get_Handle, get_Type, get_Width, get_Height in HIMETRIC, the IUnknown
// methods).  Other methods answer E_NOTIMPL; other picture formats E_FAIL.
// A picture refused leaves the reason as the last error (ERROR_INVALID_DATA,
// ERROR_FILE_TOO_LARGE or ERROR_NOT_ENOUGH_MEMORY), where Win32 leaves it
// as it was.
#include <olectl.h>

#include <algorithm>
#include <atomic>
#include <new>
#include <vector>

#include "dib.h"
#include "internal.h"

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_ISequentialStream = {
    0x0c733a30, 0x2a1c, 0x11ce, {0xad, 0xe5, 0x00, 0xaa, 0x00, 0x44, 0x77, 0x3d}};
const IID IID_IStream = {0x0000000C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IPicture = {
    0x7BF80980, 0xBF32, 0x101A, {0x8B, 0xBB, 0x00, 0xAA, 0x00, 0x30, 0x0C, 0xAB}};

namespace plat {

namespace {

// Counts references as COM does; the object goes with the last Release.
template <typename Interface>
class ComObject : public Interface {
 public:
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  virtual ~ComObject() = default;
  HRESULT answer(REFIID riid, void** object, std::initializer_list<const IID*> ids) {
    if (!object) return E_POINTER;
    *object = nullptr;
    for (const IID* id : ids)
      if (IsEqualIID(riid, *id)) {
        *object = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
      }
    return E_NOINTERFACE;
  }

 private:
  std::atomic<ULONG> refs_{1};
};

class GlobalStream : public ComObject<IStream> {
 public:
  GlobalStream(HGLOBAL block, bool delete_on_release)
      : block_(block), delete_on_release_(delete_on_release) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    return answer(riid, object, {&IID_IUnknown, &IID_ISequentialStream, &IID_IStream});
  }
  HRESULT STDMETHODCALLTYPE Read(void* data, ULONG bytes, ULONG* bytes_read) override {
    if (bytes_read) *bytes_read = 0;
    if (!data && bytes > 0) return STG_E_INVALIDFUNCTION;
    const size_t size = GlobalSize(block_);
    const size_t n = position_ < size ? std::min<size_t>(bytes, size - position_) : 0;
    if (n > 0) {
      const uint8_t* from = static_cast<const uint8_t*>(GlobalLock(block_));
      if (!from) return E_FAIL;
      memcpy(data, from + position_, n);
      GlobalUnlock(block_);
      position_ += n;
    }
    if (bytes_read) *bytes_read = static_cast<ULONG>(n);
    return n == bytes ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin,
                                 ULARGE_INTEGER* position) override {
    const LONGLONG base = origin == STREAM_SEEK_SET   ? 0
                          : origin == STREAM_SEEK_CUR ? static_cast<LONGLONG>(position_)
                          : origin == STREAM_SEEK_END ? static_cast<LONGLONG>(GlobalSize(block_))
                                                      : -1;
    if (base < 0 || (move.QuadPart < 0 && -move.QuadPart > base)) return STG_E_INVALIDFUNCTION;
    position_ = static_cast<size_t>(base + move.QuadPart);
    if (position) position->QuadPart = position_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD flags) override {
    (void)flags;  // a memory stream has no name to give
    if (!stat) return STG_E_INVALIDFUNCTION;
    *stat = STATSTG();
    stat->type = STGTY_STREAM;
    stat->cbSize.QuadPart = GlobalSize(block_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*,
                                   ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

  // The block locked, and up to `size` bytes (all when size <= 0) from the
  // position on, which moves past them as a Read would: the picture is
  // decoded where it lies.  Unlock with GlobalUnlock(block()).
  const uint8_t* lock_rest(LONG size, size_t* n) {
    const size_t total = GlobalSize(block_);
    const size_t left = position_ < total ? total - position_ : 0;
    *n = size > 0 ? std::min<size_t>(static_cast<size_t>(size), left) : left;
    const uint8_t* from = static_cast<const uint8_t*>(GlobalLock(block_));
    if (!from) return nullptr;
    const uint8_t* rest = from + position_;
    position_ += *n;
    return rest;
  }
  HGLOBAL block() const { return block_; }

 private:
  ~GlobalStream() override {
    if (delete_on_release_) GlobalFree(block_);
  }
  HGLOBAL block_;
  bool delete_on_release_;
  size_t position_ = 0;
};

// HIMETRIC: hundredths of a millimetre at 96 pixels per inch, rounded.
LONG himetric(int pixels) {
  return static_cast<LONG>((static_cast<int64_t>(pixels) * 2540 + 48) / 96);
}

class Picture : public ComObject<IPicture> {
 public:
  Picture(HBITMAP bitmap, int width, int height)
      : bitmap_(bitmap), width_(width), height_(height) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    return answer(riid, object, {&IID_IUnknown, &IID_IPicture});
  }
  HRESULT STDMETHODCALLTYPE get_Handle(OLE_HANDLE* handle) override {
    if (!handle) return E_POINTER;
    *handle = HandleToULong(bitmap_);  // GDI handles keep to 32 bits
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Type(SHORT* type) override {
    if (!type) return E_POINTER;
    *type = PICTYPE_BITMAP;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Width(OLE_XSIZE_HIMETRIC* width) override {
    if (!width) return E_POINTER;
    *width = himetric(width_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Height(OLE_YSIZE_HIMETRIC* height) override {
    if (!height) return E_POINTER;
    *height = himetric(height_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_hPal(OLE_HANDLE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Render(HDC, LONG, LONG, LONG, LONG, OLE_XPOS_HIMETRIC,
                                   OLE_YPOS_HIMETRIC, OLE_XSIZE_HIMETRIC, OLE_YSIZE_HIMETRIC,
                                   LPCRECT) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE set_hPal(OLE_HANDLE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_CurDC(HDC*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SelectPicture(HDC, HDC*, OLE_HANDLE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_KeepOriginalFormat(BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_KeepOriginalFormat(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE PictureChanged() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SaveAsFile(LPSTREAM, BOOL, LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Attributes(DWORD*) override { return E_NOTIMPL; }

 private:
  ~Picture() override {
    const DWORD saved = GetLastError();
    DeleteObject(bitmap_);  // the program may have deleted it already
    SetLastError(saved);
  }
  HBITMAP bitmap_;
  int width_, height_;
};

// Any BMP as the 32 bpp device bitmap a picture object holds: B, G, R, 255,
// straight from the file's pixels.
void widen_to_32bpp(const DibView& from, Dib* to) {
  const size_t n = static_cast<size_t>(from.width) * static_cast<size_t>(from.height);
  fresh_bytes(&to->bits, n * 4);
  to->bits.resize(n * 4);
  to->width = from.width;
  to->height = from.height;
  to->bpp = 32;
  to->masks[0] = 0x00FF0000;
  to->masks[1] = 0x0000FF00;
  to->masks[2] = 0x000000FF;
  uint32_t* px = reinterpret_cast<uint32_t*>(to->bits.data());
  for (int row = 0; row < from.height; ++row)  // bottom-up
    for (int x = 0; x < from.width; ++x)
      *px++ = 0xFF000000u | dib_pixel(from, x, from.height - 1 - row);
}

// Decodes the bytes: NO_ERROR, or the Win32 error that says why they make
// no picture (see jpeg_decode and bmp_read).
DWORD decode(const uint8_t* bytes, size_t size, Dib* dib) {
  DWORD error = ERROR_INVALID_DATA;  // no picture we read
  if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8) {
    std::string reason;
    return jpeg_decode(bytes, size, dib, &reason, kJpegMaxPixels, &error) ? NO_ERROR : error;
  }
  if (size >= 2 && bytes[0] == 'B' && bytes[1] == 'M') {
    DibView view;
    if (!bmp_view(bytes, size, &view, &error))
      // A bad width or bit count is bad data here: the caller's parameters
      // were only the stream and its length.
      return error == ERROR_INVALID_PARAMETER ? ERROR_INVALID_DATA : error;
    widen_to_32bpp(view, dib);
    return NO_ERROR;
  }
  return error;
}

// Reads up to `size` bytes from the stream, no more than it holds; false
// when the stream cannot say how much it holds or cannot be read.
bool read_stream(IStream* stream, LONG size, std::vector<uint8_t>* bytes) {
  STATSTG stat;
  ULARGE_INTEGER here;
  LARGE_INTEGER none;
  none.QuadPart = 0;
  if (FAILED(stream->Stat(&stat, STATFLAG_NONAME)) ||
      FAILED(stream->Seek(none, STREAM_SEEK_CUR, &here)))
    return false;
  const ULONGLONG left =
      stat.cbSize.QuadPart > here.QuadPart ? stat.cbSize.QuadPart - here.QuadPart : 0;
  const ULONGLONG wanted =
      size > 0 ? std::min<ULONGLONG>(static_cast<ULONGLONG>(size), left) : left;
  if (wanted > 0x7FFFFFFF) return false;
  bytes->resize(static_cast<size_t>(wanted));
  ULONG got = 0;
  if (FAILED(stream->Read(bytes->data(), static_cast<ULONG>(wanted), &got))) return false;
  bytes->resize(got);
  return true;
}

// Decodes the stream's next `size` bytes: in place from a stream over global
// memory, from a copy for any other stream.  NO_ERROR or why not, as decode.
DWORD decode_stream(IStream* stream, LONG size, Dib* dib) {
  if (GlobalStream* global = dynamic_cast<GlobalStream*>(stream)) {
    size_t n = 0;
    const uint8_t* bytes = global->lock_rest(size, &n);
    // An empty (discarded) block cannot be locked: it holds no picture.
    if (!bytes) return ERROR_INVALID_DATA;
    struct Unlock {
      HGLOBAL block;
      ~Unlock() { GlobalUnlock(block); }
    } unlock{global->block()};
    return decode(bytes, n, dib);
  }
  std::vector<uint8_t> bytes;
  if (!read_stream(stream, size, &bytes)) return ERROR_READ_FAULT;
  return decode(bytes.data(), bytes.size(), dib);
}

}  // namespace

}  // namespace plat

using namespace plat;

STDAPI CreateStreamOnHGlobal(HGLOBAL block, BOOL delete_on_release, LPSTREAM* stream) {
  if (!stream) return E_INVALIDARG;
  *stream = nullptr;
  if (!block) {
    unsupported("CreateStreamOnHGlobal", "a stream needs an existing block");
    return E_NOTIMPL;
  }
  SetLastError(NO_ERROR);  // a discarded block is 0 bytes too, but valid
  if (GlobalSize(block) == 0 && GetLastError() == ERROR_INVALID_HANDLE) return E_INVALIDARG;
  GlobalStream* s = new (std::nothrow) GlobalStream(block, delete_on_release != FALSE);
  if (!s) return E_OUTOFMEMORY;
  *stream = s;
  return S_OK;
}

STDAPI OleLoadPicture(LPSTREAM stream, LONG size, BOOL runmode, REFIID riid, LPVOID* object) {
  (void)runmode;  // the picture keeps no file format of its own to give back
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!stream) return E_POINTER;
  if (!IsEqualIID(riid, IID_IPicture) && !IsEqualIID(riid, IID_IUnknown)) return E_NOINTERFACE;
  // Every refusal leaves its reason as the last error (see windows.h), set
  // after the stream's block is unlocked, which clears it.
  DWORD error = NO_ERROR;
  std::shared_ptr<Dib> dib;
  try {
    dib = std::make_shared<Dib>();
    error = decode_stream(stream, size, dib.get());
  } catch (const std::bad_alloc&) {
    fail(ERROR_NOT_ENOUGH_MEMORY);
    return E_OUTOFMEMORY;
  }
  if (error != NO_ERROR) {
    fail(error);
    return E_FAIL;
  }
  const int width = dib->width, height = dib->height;
  HBITMAP bitmap = bitmap_add(std::move(dib));
  if (!bitmap) {
    fail(ERROR_NOT_ENOUGH_MEMORY);
    return E_OUTOFMEMORY;
  }
  Picture* p = new (std::nothrow) Picture(bitmap, width, height);
  if (!p) {
    DeleteObject(bitmap);
    fail(ERROR_NOT_ENOUGH_MEMORY);
    return E_OUTOFMEMORY;
  }
  *object = static_cast<IPicture*>(p);
  return S_OK;
}
