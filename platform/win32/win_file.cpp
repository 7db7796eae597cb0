// Files and global memory blocks.
//
// Supported: CreateFileA for reading an existing file (GENERIC_READ, any
// sharing, OPEN_EXISTING, no flags but FILE_ATTRIBUTE_NORMAL), GetFileSize,
// ReadFile (no overlapped I/O), CloseHandle; GlobalAlloc (GMEM_MOVEABLE,
// with GMEM_SHARE and GMEM_ZEROINIT), GlobalLock, GlobalUnlock, GlobalFree,
// GlobalSize.  File names are the host's; a backslash separates folders as
// a slash does.  Errors are Win32's: 2 a missing file, 3 a missing folder, 5
// a folder or a file that may not be read.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>
#include <string>
#include <vector>

#include "dib.h"
#include "internal.h"

namespace plat {

namespace {

struct File : KernelObject {
  int fd = -1;
  ~File() override {
    if (fd >= 0) close(fd);
  }
};

std::string host_path(const char* name) {
  std::string path(name);
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

// ENOENT is a missing folder (3) when the folder the name points into is
// missing, a missing file (2) otherwise.
DWORD error_from_errno(int e, const std::string& path) {
  switch (e) {
    case ENOENT: {
      const size_t slash = path.find_last_of('/');
      if (slash == std::string::npos || slash == 0) return ERROR_FILE_NOT_FOUND;
      struct stat st;
      return stat(path.substr(0, slash).c_str(), &st) == 0 && S_ISDIR(st.st_mode)
                 ? ERROR_FILE_NOT_FOUND
                 : ERROR_PATH_NOT_FOUND;
    }
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
      return ERROR_ACCESS_DENIED;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EIO:
      return ERROR_READ_FAULT;
  }
  return ERROR_INVALID_FUNCTION;
}

// Opens a regular file for reading; -1 with the Win32 error set.  A folder
// is refused as Win32 refuses it, and a pipe or device is never waited on.
int open_for_reading(const char* name) {
  if (!name || !*name) {
    fail(ERROR_PATH_NOT_FOUND);
    return -1;
  }
  const std::string path = host_path(name);
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    fail(error_from_errno(errno, path));
    return -1;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    fail(ERROR_ACCESS_DENIED);
    return -1;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

// Reads up to n bytes, fewer only at the end of the file; -1 on an error.
ssize_t read_fully(int fd, uint8_t* to, size_t n) {
  size_t got = 0;
  while (got < n) {
    const ssize_t r = read(fd, to + got, n - got);
    if (r == 0) break;
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    got += static_cast<size_t>(r);
  }
  return static_cast<ssize_t>(got);
}

// ---- Global memory ----

struct Block {
  std::unique_ptr<uint8_t[]> data;  // null for a discarded (zero-size) block
  size_t size = 0;
  int locks = 0;
};

HandleTable<Block, kGlobalHandle> g_blocks{256};

// Caller holds g_blocks.lock.
Block* block_from_handle(HGLOBAL h) {
  Block* b = g_blocks.find(h);
  if (!b) fail(ERROR_INVALID_HANDLE);
  return b;
}

}  // namespace

bool read_whole_file(const char* name, size_t limit, std::vector<uint8_t>* bytes) {
  const int fd = open_for_reading(name);
  if (fd < 0) return false;
  struct stat st;
  bool ok = false;
  if (fstat(fd, &st) != 0) {
    fail(ERROR_READ_FAULT);
  } else if (static_cast<uint64_t>(st.st_size) > limit) {
    fail(ERROR_NOT_ENOUGH_MEMORY);
  } else {
    try {
      fresh_bytes(bytes, static_cast<size_t>(st.st_size));
      bytes->resize(static_cast<size_t>(st.st_size));
      const ssize_t got = read_fully(fd, bytes->data(), bytes->size());
      if (got < 0) {
        fail(error_from_errno(errno, name));
      } else {
        bytes->resize(static_cast<size_t>(got));  // a file that shrank meanwhile
        ok = true;
      }
    } catch (const std::bad_alloc&) {
      fail(ERROR_NOT_ENOUGH_MEMORY);
    }
  }
  close(fd);
  return ok;
}

}  // namespace plat

using namespace plat;

HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                          DWORD disposition, DWORD flags, HANDLE template_file) {
  // Sharing is not enforced: the host has no mandatory file locks.
  (void)share;
  if (access != GENERIC_READ || security || disposition != OPEN_EXISTING ||
      (flags & ~static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL)) || template_file) {
    unsupported("CreateFileA", "only reading an existing file is supported");
    return INVALID_HANDLE_VALUE;
  }
  auto file = std::make_shared<File>();
  file->fd = open_for_reading(name);
  if (file->fd < 0) return INVALID_HANDLE_VALUE;
  HANDLE h = kernel_add(file);
  return h ? h : INVALID_HANDLE_VALUE;
}

DWORD WINAPI GetFileSize(HANDLE handle, LPDWORD size_high) {
  auto file = std::dynamic_pointer_cast<File>(kernel_object(handle));
  struct stat st;
  if (!file || fstat(file->fd, &st) != 0) {
    fail(file ? ERROR_INVALID_FUNCTION : ERROR_INVALID_HANDLE);  // a thread is no file
    return INVALID_FILE_SIZE;
  }
  const uint64_t size = static_cast<uint64_t>(st.st_size);
  if (size_high) *size_high = static_cast<DWORD>(size >> 32);
  SetLastError(NO_ERROR);  // INVALID_FILE_SIZE may be a true low half
  return static_cast<DWORD>(size);
}

BOOL WINAPI ReadFile(HANDLE handle, LPVOID buffer, DWORD bytes, LPDWORD bytes_read,
                     LPOVERLAPPED overlapped) {
  if (bytes_read) *bytes_read = 0;
  if (overlapped) {
    unsupported("ReadFile", "overlapped reading is not supported");
    return FALSE;
  }
  auto file = std::dynamic_pointer_cast<File>(kernel_object(handle));
  if (!file) {
    fail(ERROR_INVALID_HANDLE);  // also a live handle of a thread
    return FALSE;
  }
  if (!buffer && bytes > 0) {
    fail(ERROR_NOACCESS);
    return FALSE;
  }
  const ssize_t got = read_fully(file->fd, static_cast<uint8_t*>(buffer), bytes);
  if (got < 0) {
    fail(error_from_errno(errno, ""));
    return FALSE;
  }
  if (bytes_read) *bytes_read = static_cast<DWORD>(got);
  return TRUE;
}

HGLOBAL WINAPI GlobalAlloc(UINT flags, size_t bytes) {
  if (!(flags & GMEM_MOVEABLE) ||
      (flags & ~static_cast<UINT>(GMEM_MOVEABLE | GMEM_SHARE | GMEM_ZEROINIT))) {
    unsupported("GlobalAlloc", "only movable blocks are supported");
    return nullptr;
  }
  // No picture file is larger than the largest block: a 32-bit process
  // could not have a much larger one either, and so a huge file fails here,
  // before it is read.
  if (bytes > kMaxPictureFileBytes) {
    fail(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  // A movable block of size 0 is allocated already discarded, as in Win32.
  std::unique_ptr<uint8_t[]> data;
  if (bytes > 0) {
    data.reset((flags & GMEM_ZEROINIT) ? new (std::nothrow) uint8_t[bytes]()
                                       : new (std::nothrow) uint8_t[bytes]);
    if (!data) {
      fail(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    prefer_large_pages(data.get(), bytes);
  }
  std::lock_guard<std::mutex> hold(g_blocks.lock);
  Block b;
  b.data = std::move(data);
  b.size = bytes;
  HGLOBAL h = g_blocks.add<HGLOBAL>(std::move(b));
  if (!h) fail(ERROR_NOT_ENOUGH_MEMORY);
  return h;
}

LPVOID WINAPI GlobalLock(HGLOBAL handle) {
  std::lock_guard<std::mutex> hold(g_blocks.lock);
  Block* b = block_from_handle(handle);
  if (!b) return nullptr;
  if (!b->data) {
    fail(ERROR_DISCARDED);
    return nullptr;
  }
  ++b->locks;
  return b->data.get();
}

BOOL WINAPI GlobalUnlock(HGLOBAL handle) {
  std::lock_guard<std::mutex> hold(g_blocks.lock);
  Block* b = block_from_handle(handle);
  if (!b) return FALSE;
  if (b->locks == 0) {
    fail(ERROR_NOT_LOCKED);
    return FALSE;
  }
  if (--b->locks > 0) return TRUE;
  fail(NO_ERROR);  // unlocked: FALSE with no error, as Win32 reports it
  return FALSE;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL handle) {
  Block gone;  // freed after the lock is dropped
  std::lock_guard<std::mutex> hold(g_blocks.lock);
  if (!block_from_handle(handle)) return handle;
  gone = g_blocks.remove(handle);
  return nullptr;
}

size_t WINAPI GlobalSize(HGLOBAL handle) {
  std::lock_guard<std::mutex> hold(g_blocks.lock);
  Block* b = block_from_handle(handle);
  return b && b->data ? b->size : 0;
}
