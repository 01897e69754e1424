// The one crossing between the program's GBK texts and the platform's UTF-16.
//
// Texts stay GBK byte strings everywhere (runtime/value.h). Where Windows reads
// a text as characters (window texts, paths, command lines, message boxes,
// dropped names), the ANSI functions would read it through the system code
// page, which is 936 only on a Chinese system. So every such text crosses here,
// always through code page 936 and never through CP_ACP, and the platform is
// called through its wide function. No other file of the product converts
// between code pages or calls a text-taking ANSI function, WinINet's aside:
// the HTTP fetch keeps them and sends an address only where they keep its
// bytes (runtime/win/http_page.cpp).
//
// GBK -> wide: `Wide` holds the converted text for the length of a call.
// Wide -> GBK: the ToGbk functions. A character without a GBK form becomes
// "?", as the ANSI functions make it on a Chinese system; nothing else is lost.
// UTF-8 -> GBK: Utf8ToGbkText, for dropped HTML, by way of UTF-16.
// Results never come back cut short: what does not fit is refused whole.
// Limits stay counted in GBK bytes, whatever the wide form's length.
//
// The wrappers at the end take GBK texts for the platform's text-taking
// functions that the runtime calls.
#pragma once

#include <windows.h>

#include <cstdint>

namespace bv::wide {

inline constexpr UINT kGbkCodePage = 936;

// The wide form of a GBK text (null is the empty text), NUL-terminated. Texts
// that fit a path buffer use the object's own storage; longer ones take one
// block from the program's heap, so a conversion can never fail quietly.
class Wide {
 public:
  explicit Wide(const char* gbk);
  Wide(const char* gbk, std::int32_t bytes);
  ~Wide();
  Wide(const Wide&) = delete;
  Wide& operator=(const Wide&) = delete;

  const wchar_t* c_str() const { return text_; }
  // The object's own copy, for the functions that may write into their text
  // argument (CreateProcessW does).
  wchar_t* data() { return text_; }
  // Characters before the NUL.
  std::int32_t size() const { return size_; }

 private:
  void Convert(const char* gbk, std::int32_t bytes);

  wchar_t* text_;
  std::int32_t size_ = 0;
  wchar_t small_[MAX_PATH];
};

// How many UTF-16 characters `bytes` bytes of a GBK text make, without
// converting them anywhere: what a control holding the text would count.
std::int32_t WideLength(const char* gbk, std::int32_t bytes);

// A new Text (Allocate, caller releases) holding the GBK form of `chars`
// characters of `w` (-1: up to its NUL); null when that is empty.
char* ToGbkText(const wchar_t* w, std::int32_t chars = -1);

// A new Text (Allocate, caller releases) holding the GBK form of `bytes` bytes
// of UTF-8 (dropped HTML is UTF-8 by definition); null when that is empty.
// A malformed sequence or a character GBK has no form for becomes "?".
char* Utf8ToGbkText(const char* utf8, std::int32_t bytes);

// The GBK form of `w` (-1: up to its NUL) into `out`, NUL-terminated. Returns
// the byte count before the NUL, or -1 when it would not fit in `capacity`
// bytes with its NUL; `out` then holds the empty text, never a cut-short one.
// Allocates nothing.
std::int32_t ToGbk(const wchar_t* w, std::int32_t chars, char* out, std::int32_t capacity);

// The wide form of a GBK text into `out`, NUL-terminated, allocating nothing:
// for the fatal report, which must work when the heap is gone. A text too long
// for `capacity` characters is cut at a character boundary, since a box that
// shows most of the report beats no box. Returns the characters before the NUL.
std::int32_t FromGbkFixed(const char* gbk, wchar_t* out, std::int32_t capacity);

// Whether every character of `w` has a GBK form.
bool FitsGbk(const wchar_t* w, std::int32_t chars = -1);

// A path from the platform in GBK. A path holding characters without a GBK
// form is taken in its short (8.3) form where the platform gives one that
// fits; otherwise those characters become "?" and the path names nothing, as
// on a Chinese system. PathToGbkText: a new Text or null. PathToGbk: into
// `out` like ToGbk, -1 when it does not fit.
char* PathToGbkText(const wchar_t* path);
std::int32_t PathToGbk(const wchar_t* path, char* out, std::int32_t capacity);

// ---- The platform's text-taking functions with GBK texts -------------------------
// Each behaves as the wide function it calls (same results, same last error).
// A null path or command line is the empty one; a null box text or caption is
// passed on as null.

int MessageBoxGbk(HWND owner, const char* text, const char* caption, UINT style);

// As MessageBoxGbk, but allocating nothing of its own: for the fatal report,
// which must show when the heap is gone. Texts longer than its fixed buffers
// are cut (FromGbkFixed).
int MessageBoxGbkFixed(HWND owner, const char* text, const char* caption, UINT style);

HANDLE CreateFileGbk(const char* path, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security, DWORD disposition,
                     DWORD attributes, HANDLE template_file);

// Names in `found` stay wide: ToGbk or PathToGbk them where they are needed.
HANDLE FindFirstFileGbk(const char* path, WIN32_FIND_DATAW* found);

// The current directory in GBK into `out` (`capacity` bytes, NUL included), as
// GetCurrentDirectory counts: the bytes before the NUL; 0 on failure; a number
// of `capacity` or more when it does not fit, `out` then holding the empty
// text. The limit is in GBK bytes, whatever the wide form's length.
DWORD GetCurrentDirectoryGbk(DWORD capacity, char* out);

// CreateProcessW with a GBK command line and working folder (null: the
// caller's current one); no separate program name, no inherited handles, the
// caller's environment.
BOOL CreateProcessGbk(const char* command_line, const char* directory, DWORD flags, STARTUPINFOW* startup,
                      PROCESS_INFORMATION* process);

}  // namespace bv::wide
