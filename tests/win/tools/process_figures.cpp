// Reads, from outside, the figures of a running program that follow its
// handles and its memory as the system's process list reports them.
//   process_figures.exe IMAGE_NAME
// Prints "handles=N pagefile=BYTES private=BYTES threads=N" for the first
// process whose image name is IMAGE_NAME (case ignored); exit code 1 when
// there is none. Under Wine, GetProcessHandleCount and the private usage of
// GetProcessMemoryInfo read 0 and GetGuiResources is a stub, while this list
// follows the process.
#include <windows.h>
#include <winternl.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using QueryFn = NTSTATUS(NTAPI*)(SYSTEM_INFORMATION_CLASS, PVOID, ULONG, PULONG);

std::wstring Widen(const char* s) {
  std::wstring w;
  for (; *s; ++s) w += static_cast<wchar_t>(static_cast<unsigned char>(*s));
  return w;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: process_figures.exe IMAGE_NAME\n");
    return 2;
  }
  auto query = reinterpret_cast<QueryFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return 3;
  std::vector<unsigned char> buffer(1 << 20);
  ULONG needed = 0;
  NTSTATUS status;
  while ((status = query(SystemProcessInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) ==
         static_cast<NTSTATUS>(0xC0000004L))  // STATUS_INFO_LENGTH_MISMATCH
    buffer.resize(buffer.size() * 2);
  if (status != 0) return 3;
  const std::wstring wanted = Widen(argv[1]);
  for (std::size_t at = 0;;) {
    const auto* p = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(buffer.data() + at);
    const std::wstring name(p->ImageName.Buffer ? p->ImageName.Buffer : L"", p->ImageName.Length / sizeof(wchar_t));
    if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, name.c_str(), -1, wanted.c_str(), -1) == CSTR_EQUAL) {
      std::printf("handles=%lu pagefile=%llu private=%llu threads=%lu\n", p->HandleCount,
                  static_cast<unsigned long long>(p->VirtualMemoryCounters.PagefileUsage),
                  static_cast<unsigned long long>(p->PrivatePageCount), p->NumberOfThreads);
      return 0;
    }
    if (p->NextEntryOffset == 0) break;
    at += p->NextEntryOffset;
  }
  return 1;
}
