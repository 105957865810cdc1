#include "platform/module_registry.h"

#include <map>

#if defined(_WIN32) && (defined(_M_IX86) || defined(__i386__))
#define CORVANE_NATIVE_X86 1
#include <windows.h>
#endif

namespace corvane::platform {

struct HostModule {
  struct Entry {
    HostExport host_export;
    GuestAddress thunk = 0;  // made on first request
  };
  std::vector<Entry> entries;

  GuestAddress address_of(Entry& entry) {
    if (entry.thunk == 0)
      entry.thunk = x86_machine().make_thunk(entry.host_export.function,
                                             entry.host_export.argument_count);
    return entry.thunk;
  }
};

namespace {

std::string module_key(std::string_view dll_name) {
  std::string key(dll_name);
  for (char& c : key)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (key.find('.') == std::string::npos) key += ".dll";
  return key;
}

std::map<std::string, std::shared_ptr<HostModule>>& registry() {
  static std::map<std::string, std::shared_ptr<HostModule>> modules;
  return modules;
}

}  // namespace

void register_host_module(std::string_view dll_name, std::vector<HostExport> exports) {
  auto module = std::make_shared<HostModule>();
  for (auto& e : exports) module->entries.push_back(HostModule::Entry{std::move(e), 0});
  registry()[module_key(dll_name)] = std::move(module);
}

bool unregister_host_module(std::string_view dll_name) {
  return registry().erase(module_key(dll_name)) != 0;
}

bool host_module_registered(std::string_view dll_name) {
  return registry().count(module_key(dll_name)) != 0;
}

ImportLibrary ImportLibrary::open(std::string_view dll_name) {
  ImportLibrary library;
  const auto found = registry().find(module_key(dll_name));
  if (found != registry().end()) {
    library.host_ = found->second;
    return library;
  }
#if defined(CORVANE_NATIVE_X86)
  const std::string name(dll_name);
  library.native_ = reinterpret_cast<void*>(LoadLibraryA(name.c_str()));
#endif
  return library;
}

bool ImportLibrary::is_open() const { return host_ != nullptr || native_ != nullptr; }

GuestAddress ImportLibrary::procedure(std::string_view name) const {
  if (host_ != nullptr) {
    for (auto& entry : host_->entries)
      if (!entry.host_export.name.empty() && entry.host_export.name == name)
        return host_->address_of(entry);
    return 0;
  }
#if defined(CORVANE_NATIVE_X86)
  if (native_ != nullptr) {
    const std::string text(name);
    return static_cast<GuestAddress>(reinterpret_cast<std::uintptr_t>(
        GetProcAddress(static_cast<HMODULE>(native_), text.c_str())));
  }
#endif
  return 0;
}

GuestAddress ImportLibrary::procedure(std::uint16_t ordinal) const {
  if (ordinal == 0) return 0;
  if (host_ != nullptr) {
    for (auto& entry : host_->entries)
      if (entry.host_export.ordinal == ordinal) return host_->address_of(entry);
    return 0;
  }
#if defined(CORVANE_NATIVE_X86)
  if (native_ != nullptr)
    return static_cast<GuestAddress>(reinterpret_cast<std::uintptr_t>(
        GetProcAddress(static_cast<HMODULE>(native_), MAKEINTRESOURCEA(ordinal))));
#endif
  return 0;
}

}  // namespace corvane::platform
