// Start-up and shutdown. Start-up failures are the only failures the
// program reports in words; a library that lacks one of the entry points the
// front end calls is reported like a library that is not there at all.
#include "front/startup.h"

#include "archiver/archiver.h"
#include "front/state.h"
#include "platform/platform.h"

PrivateHeap* WorkHeap = nullptr;
LockedBlock CommandBuffer{};
LockedBlock LhaOptions{};

namespace {

// "UNLHA32.DLLを見つける事ができませんでした。インストールしてください。" in Shift_JIS.
constexpr char kMissingLibraryLine[] =
    "UNLHA32.DLL\202\360\214\251\202\302\202\257\202\351\216\226\202\252\202\305\202\253\202\334\202\271\202\361\202\305\202\265\202\275\201B"
    "\203C\203\223\203X\203g\201[\203\213\202\265\202\304\202\255\202\276\202\263\202\242\201B";

void Release(LockedBlock& block) {
  if (!block.handle) return;
  UnlockMovable(block.handle);
  FreeMovable(block.handle);
  block = {};
}

}  // namespace

bool IsWindows31Layer(std::uint32_t versionWord) {
  return (versionWord & 0x80000000u) != 0 && (versionWord & 0xFFu) == 3;
}

int StartUp() {
  std::uint32_t version = 0;
  if (QueryVersionWord(&version) && IsWindows31Layer(version)) {
    ShowErrorBox("This application cannot run on Windows 3.1.\nThis application will now terminate.", "Tavo");
    return 0;
  }
  LoadedLibrary* library = LoadArchiverLibrary();
  if (library && !BindArchiver(library)) {
    UnloadLibrary(library);
    ArchiverApi = {};
    library = nullptr;
  }
  if (!library) {
    WriteOwnLine(kMissingLibraryLine);
    return 0;
  }
  WorkHeap = CreatePrivateHeap();
  return WorkHeap ? 1 : 0;
}

void ShutDown() {
  if (WorkHeap) DestroyPrivateHeap(WorkHeap);
  WorkHeap = nullptr;
  Release(CommandBuffer);
  Release(LhaOptions);
  if (ArchiverApi.library) UnloadLibrary(ArchiverApi.library);
  ArchiverApi = {};
}
