#include "picture_loader.h"

#include <string.h>

#include "diagnostics.h"
#include "jpeg_read.h"

t_EIMAGE m_image;
IPicture* pPict = NULL;
IStream* pIStream = NULL;

namespace {

// The four bytes after a frame header's precision byte at `at`, big-endian:
// height, then width.  Only when they lie inside the file's bytes.
DWORD frame_size_at(const unsigned char* bytes, unsigned size, unsigned at) {
  uint32_t frame = 0;
  if (bytes && at < size) jpeg_frame_size(bytes + at, size - at, &frame);
  return frame;
}

}  // namespace

int GetImage(void* block, unsigned size, t_EIMAGE* image) {
  unsigned char* bytes = static_cast<unsigned char*>(GlobalLock(block));
  const unsigned short orientation = GetOrientation(bytes, size, 0);
  if (orientation != 0) image->orientation = static_cast<BYTE>(orientation & 0xFF);
  // The frame header's size; a file without one gives bytes 1 to 4 of itself.
  unsigned at = 0, length = 0;
  image->frame_size = jpeg_find_segment(bytes, size, markersSOx, &at, &length)
                          ? frame_size_at(bytes, size, at)
                          : frame_size_at(bytes, size, 0);
  GlobalUnlock(block);

  // The stream and the picture stay for the life of the process: the
  // picture owns the bitmap in use, and the stream's block is freed by
  // GetImagef, so releasing the stream later would free it twice.
  if (CreateStreamOnHGlobal(block, TRUE, &pIStream) != 0) return 0;
  pPict = NULL;
  OleLoadPicture(pIStream, static_cast<LONG>(size), FALSE, IID_IPicture,
                 reinterpret_cast<LPVOID*>(&pPict));
  if (pPict == NULL) return 0;
  image->kind = 6;
  OLE_HANDLE handle = 0;
  pPict->get_Handle(&handle);
  image->handle = handle;
  return 1;
}

int GetImagef(char* file_name, t_EIMAGE* image) {
  // Stays open, shared for reading only, until the process ends.
  HANDLE file = CreateFileA(file_name, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) {
    wsprintfA(tempstr, "CreateFile: %s", get_system_message());
    MessageBoxA(NULL, tempstr, "CreateFile", MB_OK);
    memset(image, 0, sizeof *image);
    return 0;
  }
  const DWORD size = GetFileSize(file, NULL);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE, size);
  memset(image, 0, sizeof *image);
  if (block == NULL) return 0;

  // A short or failed read leaves only the bytes really read to look at, and
  // the rest of the block cleared: nothing reads memory the file never filled.
  unsigned char* bytes = static_cast<unsigned char*>(GlobalLock(block));
  DWORD got = 0;
  if (bytes != NULL && !ReadFile(file, bytes, size, &got, NULL)) got = 0;
  if (bytes != NULL && got < size) memset(bytes + got, 0, size - got);
  GlobalUnlock(block);

  const int result = GetImage(block, got, image);
  GlobalFree(block);
  return result;
}

HBITMAP MakeImage(char* file_name) {
  if (m_image.handle != 0) {
    DeleteObject(static_cast<HBITMAP>(LongToHandle(static_cast<LONG>(m_image.handle))));
    m_image.handle = 0;
  }
  if (!GetImagef(file_name, &m_image)) return NULL;
  return static_cast<HBITMAP>(LongToHandle(static_cast<LONG>(m_image.handle)));
}
