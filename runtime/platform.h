// The few things the portable runtime needs from the operating system. Each is
// implemented once in runtime/win/ (the product) and once in runtime/posix/
// (the native tree that runs the portable tests).
#pragma once

#include <cstddef>

namespace bv::platform {

// The program's one heap (the process heap on Windows). Null on failure.
void* HeapGet(std::size_t size);
void* HeapResize(void* block, std::size_t size);
void HeapPut(void* block);

// Shows the fatal report and waits until the user has closed it.
void ShowFatalReport(const char* text, const char* caption);

// Ends the process at once with `code`.
[[noreturn]] void ExitProcessNow(int code);

}  // namespace bv::platform
