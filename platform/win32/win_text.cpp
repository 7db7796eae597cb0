// Text: system error messages, local memory for them, and wsprintfA.
//
// Supported: FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER |
// FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS) with Windows'
// own (US English) texts for every error code the layer sets; LocalAlloc
// (LMEM_FIXED, LMEM_ZEROINIT) and LocalFree; wsprintfA with Win32's format
// subset and its 1024-character limit.
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <mutex>
#include <string>
#include <unordered_set>

#include "internal.h"

namespace plat {

namespace {

struct SystemText {
  DWORD code;
  const char* text;
};

// Windows' texts, each ending in "\r\n" as FormatMessageA returns them.
const SystemText kTexts[] = {
    {ERROR_SUCCESS, "The operation completed successfully.\r\n"},
    {ERROR_INVALID_FUNCTION, "Incorrect function.\r\n"},
    {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified.\r\n"},
    {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified.\r\n"},
    {ERROR_TOO_MANY_OPEN_FILES, "The system cannot open the file.\r\n"},
    {ERROR_ACCESS_DENIED, "Access is denied.\r\n"},
    {ERROR_INVALID_HANDLE, "The handle is invalid.\r\n"},
    {ERROR_NOT_ENOUGH_MEMORY,
     "Not enough memory resources are available to process this command.\r\n"},
    {ERROR_INVALID_DATA, "The data is invalid.\r\n"},
    {ERROR_OUTOFMEMORY,
     "Not enough memory resources are available to complete this operation.\r\n"},
    {ERROR_NOT_READY, "The device is not ready.\r\n"},
    {ERROR_READ_FAULT, "The system cannot read from the specified device.\r\n"},
    {ERROR_SHARING_VIOLATION,
     "The process cannot access the file because it is being used by another process.\r\n"},
    {ERROR_HANDLE_EOF, "Reached the end of the file.\r\n"},
    {ERROR_NOT_SUPPORTED, "The request is not supported.\r\n"},
    {ERROR_INVALID_PARAMETER, "The parameter is incorrect.\r\n"},
    {ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small.\r\n"},
    {ERROR_INVALID_NAME, "The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {ERROR_DISCARDED, "The segment is already discarded and cannot be locked.\r\n"},
    {ERROR_NOT_LOCKED, "The segment is already unlocked.\r\n"},
    {ERROR_FILENAME_EXCED_RANGE, "The filename or extension is too long.\r\n"},
    {ERROR_FILE_TOO_LARGE, "The file size exceeds the limit allowed and cannot be saved.\r\n"},
    {ERROR_MR_MID_NOT_FOUND,
     "The system cannot find message text for message number 0x%1 in the message file for "
     "%2.\r\n"},
    {ERROR_NOACCESS, "Invalid access to memory location.\r\n"},
    {ERROR_FILE_INVALID,
     "The volume for a file has been externally altered so that the opened file is no longer "
     "valid.\r\n"},
    {ERROR_INVALID_WINDOW_HANDLE, "Invalid window handle.\r\n"},
    {ERROR_CANNOT_FIND_WND_CLASS, "Cannot find window class.\r\n"},
    {ERROR_CLASS_ALREADY_EXISTS, "Class already exists.\r\n"},
    {ERROR_RESOURCE_DATA_NOT_FOUND,
     "The specified image file did not contain a resource section.\r\n"},
    {ERROR_RESOURCE_TYPE_NOT_FOUND,
     "The specified resource type cannot be found in the image file.\r\n"},
    {ERROR_RESOURCE_NAME_NOT_FOUND,
     "The specified resource name cannot be found in the image file.\r\n"},
};

const char* system_text(DWORD code) {
  for (const SystemText& t : kTexts)
    if (t.code == code) return t.text;
  return nullptr;
}

// Blocks handed out by LocalAlloc, so that LocalFree rejects anything else
// instead of freeing memory it does not own.
struct LocalState {
  std::mutex lock;
  std::unordered_set<void*> blocks;
};
LocalState& locals() {
  static LocalState state;
  return state;
}

// One conversion of Win32's wsprintf format: flags, width, precision, a size
// prefix (h, l, I64; l is 32 bits, as LONG is) and a type.  Appends its text.
const char* convert(const char* f, va_list* args, std::string* out) {
  std::string conversion = "%";
  // strchr also finds the terminator: a format ending in '%' stops here.
  while (*f && strchr("-+ #0", *f)) conversion += *f++;
  while (*f >= '0' && *f <= '9') conversion += *f++;
  if (*f == '.') {
    conversion += *f++;
    while (*f >= '0' && *f <= '9') conversion += *f++;
  }
  bool wide64 = false;
  char size = 0;  // 'h' or 'l': for c and s, a narrow or a wide character
  if (*f == 'h' || *f == 'l') {
    size = *f++;
  } else if (strncmp(f, "I64", 3) == 0) {
    wide64 = true;
    f += 3;
  }
  char buf[1100];
  const char type = *f ? *f++ : '\0';
  switch (type) {
    case 'd':
    case 'i':
      if (wide64)
        snprintf(buf, sizeof buf, (conversion + "lld").c_str(), va_arg(*args, long long));
      else
        snprintf(buf, sizeof buf, (conversion + "d").c_str(), va_arg(*args, int));
      break;
    case 'u':
    case 'x':
    case 'X':
      if (wide64)
        snprintf(buf, sizeof buf, (conversion + "ll" + type).c_str(),
                 va_arg(*args, unsigned long long));
      else
        snprintf(buf, sizeof buf, (conversion + type).c_str(), va_arg(*args, unsigned));
      break;
    case 'c':
    case 'C':
      snprintf(buf, sizeof buf, (conversion + "c").c_str(), va_arg(*args, int));
      break;
    case 's':
    case 'S': {
      // Wide for S (wsprintfA's opposite) and ls, narrow for s and hs; a wide
      // character outside ASCII becomes '?', as no code page maps it here.
      const bool wide = type == 'S' ? size != 'h' : size == 'l';
      std::string narrow;
      const char* s = nullptr;
      if (!wide) {
        s = va_arg(*args, const char*);
      } else if (const WCHAR* w = va_arg(*args, const WCHAR*)) {
        for (; *w; ++w) narrow += *w > 0 && *w < 0x80 ? static_cast<char>(*w) : '?';
        s = narrow.c_str();
      }
      snprintf(buf, sizeof buf, (conversion + "s").c_str(), s ? s : "(null)");
      break;
    }
    case 'p':
      snprintf(buf, sizeof buf, "%0*llX", static_cast<int>(2 * sizeof(void*)),
               static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(va_arg(*args, void*))));
      break;
    default:  // an unknown type is copied as it stands, as Win32 does
      snprintf(buf, sizeof buf, "%c", type);
      break;
  }
  *out += buf;
  return f;
}

}  // namespace

}  // namespace plat

using namespace plat;

HLOCAL WINAPI LocalAlloc(UINT flags, size_t bytes) {
  if (flags & ~static_cast<UINT>(LMEM_ZEROINIT)) {
    unsupported("LocalAlloc", "only LMEM_FIXED and LMEM_ZEROINIT are supported");
    return nullptr;
  }
  void* p = (flags & LMEM_ZEROINIT) ? calloc(1, bytes ? bytes : 1) : malloc(bytes ? bytes : 1);
  if (!p) {
    fail(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::lock_guard<std::mutex> hold(locals().lock);
  locals().blocks.insert(p);
  return p;
}

HLOCAL WINAPI LocalFree(HLOCAL block) {
  if (!block) return nullptr;
  {
    std::lock_guard<std::mutex> hold(locals().lock);
    if (locals().blocks.erase(block) == 0) {
      fail(ERROR_INVALID_HANDLE);
      return block;
    }
  }
  free(block);
  return nullptr;
}

DWORD WINAPI FormatMessageA(DWORD flags, LPCVOID source, DWORD message, DWORD language,
                            LPSTR buffer, DWORD size, va_list* arguments) {
  (void)source;
  (void)size;
  (void)arguments;
  const DWORD expected =
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  if (flags != expected || (language != 0 && language != 0x400 && language != 0x409)) {
    unsupported("FormatMessageA", "only allocated system texts in the user's language");
    return 0;
  }
  if (!buffer) {
    fail(ERROR_INVALID_PARAMETER);
    return 0;
  }
  LPSTR* out = reinterpret_cast<LPSTR*>(buffer);
  *out = nullptr;
  const char* text = system_text(message);
  if (!text) {
    fail(ERROR_MR_MID_NOT_FOUND);
    return 0;
  }
  const size_t n = strlen(text);
  char* copy = static_cast<char*>(LocalAlloc(LMEM_FIXED, n + 1));
  if (!copy) return 0;
  memcpy(copy, text, n + 1);
  *out = copy;
  return static_cast<DWORD>(n);
}

int WINAPIV wsprintfA(LPSTR out, LPCSTR format, ...) {
  const size_t kLimit = 1024;  // Win32's: longer output is cut, terminator included
  std::string text;
  va_list args;
  va_start(args, format);
  for (const char* f = format; *f && text.size() < kLimit;) {
    if (*f != '%') {
      text += *f++;
    } else if (f[1] == '%') {
      text += '%';
      f += 2;
    } else {
      f = convert(f + 1, &args, &text);
    }
  }
  va_end(args);
  if (text.size() > kLimit - 1) text.resize(kLimit - 1);
  memcpy(out, text.c_str(), text.size() + 1);
  return static_cast<int>(text.size());
}
