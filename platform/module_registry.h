#pragma once
// The libraries an in-memory module imports from. Host modules registered here stand
// in for DLLs: their functions are reached by guest code through thunks of the
// x86 machine. On native 32-bit Windows a name that is not registered goes on to the
// system's LoadLibraryA and GetProcAddress; in the emulated guest only registered
// modules exist.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/x86_machine.h"

namespace corvane::platform {

struct HostExport {
  std::string name;            // exact, case counts; "" for an export by ordinal only
  std::uint16_t ordinal = 0;   // 0 when the export has no ordinal
  std::size_t argument_count = 0;
  HostFunction function;
};

// Registers a host module under dll_name, replacing one of the same name. Names
// compare as the system compares DLL names: ASCII case ignored, ".dll" implied when
// the name has no extension. Libraries already opened keep the module they opened.
void register_host_module(std::string_view dll_name, std::vector<HostExport> exports);
// False when no module of that name was registered.
bool unregister_host_module(std::string_view dll_name);
bool host_module_registered(std::string_view dll_name);

struct HostModule;

// One library opened for the imports of an image. Libraries are never closed: the
// system's are kept loaded for the life of the process.
class ImportLibrary {
 public:
  // As LoadLibraryA: a registered host module first, then (native only) the system.
  static ImportLibrary open(std::string_view dll_name);

  bool is_open() const;
  // As GetProcAddress, by exact name or by ordinal; 0 when not offered.
  GuestAddress procedure(std::string_view name) const;
  GuestAddress procedure(std::uint16_t ordinal) const;

 private:
  std::shared_ptr<HostModule> host_;
  void* native_ = nullptr;
};

}  // namespace corvane::platform
