// Pictures for the Win32 subset on hosts without Windows: IPicture with
// Win32's method names and order, and OleLoadPicture.  See windows.h for
// what the layer leaves out.
#ifndef RAINBOW_PLATFORM_OLECTL_H
#define RAINBOW_PLATFORM_OLECTL_H

#include <ole2.h>

typedef UINT OLE_HANDLE;  // 32 bits on every host, as GDI handles allow
typedef LONG OLE_XPOS_HIMETRIC;
typedef LONG OLE_YPOS_HIMETRIC;
typedef LONG OLE_XSIZE_HIMETRIC;
typedef LONG OLE_YSIZE_HIMETRIC;

#define PICTYPE_UNINITIALIZED (-1)
#define PICTYPE_NONE 0
#define PICTYPE_BITMAP 1
#define PICTYPE_METAFILE 2
#define PICTYPE_ICON 3
#define PICTYPE_ENHMETAFILE 4

extern const IID IID_IPicture;

struct IPicture : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Handle(OLE_HANDLE* handle) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_hPal(OLE_HANDLE* palette) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Type(SHORT* type) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Width(OLE_XSIZE_HIMETRIC* width) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Height(OLE_YSIZE_HIMETRIC* height) = 0;
  virtual HRESULT STDMETHODCALLTYPE Render(HDC hdc, LONG x, LONG y, LONG cx, LONG cy,
                                           OLE_XPOS_HIMETRIC x_src, OLE_YPOS_HIMETRIC y_src,
                                           OLE_XSIZE_HIMETRIC cx_src, OLE_YSIZE_HIMETRIC cy_src,
                                           LPCRECT bounds) = 0;
  virtual HRESULT STDMETHODCALLTYPE set_hPal(OLE_HANDLE palette) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurDC(HDC* hdc) = 0;
  virtual HRESULT STDMETHODCALLTYPE SelectPicture(HDC hdc_in, HDC* hdc_out,
                                                  OLE_HANDLE* bitmap_out) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_KeepOriginalFormat(BOOL* keep) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_KeepOriginalFormat(BOOL keep) = 0;
  virtual HRESULT STDMETHODCALLTYPE PictureChanged() = 0;
  virtual HRESULT STDMETHODCALLTYPE SaveAsFile(LPSTREAM stream, BOOL save_copy, LONG* size) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Attributes(DWORD* attributes) = 0;

 protected:
  ~IPicture() = default;
};
typedef IPicture* LPPICTURE;

#ifdef __cplusplus
extern "C" {
#endif

// platform/win32/win_ole.cpp
STDAPI OleLoadPicture(LPSTREAM stream, LONG size, BOOL runmode, REFIID riid, LPVOID* object);

#ifdef __cplusplus
}
#endif

#endif  // RAINBOW_PLATFORM_OLECTL_H
