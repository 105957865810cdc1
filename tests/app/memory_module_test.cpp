// The in-memory loader on synthetic images: header checks, placement, relocations,
// imports through the resolver and through host modules, entry-point protocol, exports.
#include "app/memory_module.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/module_registry.h"
#include "platform/x86_machine.h"
#include "tests/support/pe_builder.h"

namespace corvane {
namespace {

using test::PE_DATA_RVA;
using test::PeImage;
using test::PeImportLibrary;
using test::X86Code;

struct EntryCall {
  std::uint32_t tag;
  std::uint32_t reason;
  bool operator==(const EntryCall&) const = default;
};

std::vector<EntryCall>& entry_calls() {
  static std::vector<EntryCall> calls;
  return calls;
}

// looptest.dll: Record(tag, reason) logs entry-point calls; Add by name, Mul by ordinal 2.
void register_looptest() {
  platform::register_host_module(
      "LoopTest.DLL",
      {{"Record", 1, 2,
        [](std::span<const std::uint32_t> a) {
          entry_calls().push_back({a[0], a[1]});
          return 0u;
        }},
       {"Add", 3, 2, [](std::span<const std::uint32_t> a) { return a[0] + a[1]; }},
       {"", 2, 2, [](std::span<const std::uint32_t> a) { return a[0] * a[1]; }}});
}

class MemoryModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    register_looptest();
    entry_calls().clear();
  }
  void TearDown() override {
    for (auto& m : modules_) m->unload();
  }
  // A module the fixture unloads at the end, so that later tests find their bases free.
  MemoryModule& module() { return *modules_.emplace_back(std::make_unique<MemoryModule>()); }

  std::vector<std::unique_ptr<MemoryModule>> modules_;
};

// A DLL whose entry point calls Record(tag, reason) and returns entry_result.
PeImage tagged_dll(std::uint32_t tag, std::uint32_t image_base = 0x00400000,
                   std::uint32_t entry_result = 1) {
  PeImage image;
  image.image_base = image_base;
  image.imports = {{"looptest.dll", {{"Record"}}}};
  image.data.assign(16, 0);
  X86Code code(image);
  image.entry_rva = code.here();
  code.push_stack(8).push_imm(tag).call_import(image.import_slot(0, 0)).mov_eax_imm(entry_result).ret(12);
  code.place_into(image);
  return image;
}

bool load(MemoryModule& m, const std::vector<std::uint8_t>& bytes, ImportResolver resolver = {},
          std::uintptr_t user = 0) {
  return m.load(std::span<const std::uint8_t>(bytes), std::move(resolver), user);
}

std::uint32_t guest_u32(GuestAddress at) { return platform::x86_machine().read_u32(at).value_or(0xDEADBEEF); }

void put32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + i] = static_cast<std::uint8_t>(x >> (8 * i));
}

struct BrokenImageCase {
  const char* what;
  std::vector<std::uint8_t> (*make)();
};

const BrokenImageCase BROKEN_IMAGES[] = {
    {"block of 63 bytes",
     [] {
       auto b = tagged_dll(1).build();
       b.resize(63);
       return b;
     }},
    {"block too short for the NT headers",
     [] {
       auto b = tagged_dll(1).build();
       b.resize(64 + 247);
       return b;
     }},
    {"wrong MZ",
     [] {
       auto b = tagged_dll(1).build();
       b[1] = 'X';
       return b;
     }},
    {"wrong PE signature",
     [] {
       auto b = tagged_dll(1).build();
       b[test::PE_NT_OFFSET + 2] = 1;
       return b;
     }},
    {"executable-image bit missing",
     [] {
       auto image = tagged_dll(1);
       image.characteristics &= static_cast<std::uint16_t>(~test::PE_EXECUTABLE_IMAGE);
       return image.build();
     }},
    {"section table cut off",
     [] {
       auto b = tagged_dll(1).build();
       b.resize(test::PE_NT_OFFSET + 248 + 40 + 20);
       return b;
     }},
    {"empty image size",
     [] {
       PeImage image;
       image.characteristics = test::PE_EXECUTABLE_IMAGE;
       auto b = image.build();
       put32(b, test::PE_SIZE_OF_IMAGE_OFFSET, 0);
       return b;
     }},
    {"image size no process could map",
     [] {
       auto image = tagged_dll(1);
       image.size_of_image = 0xFFFFF000;
       return image.build();
     }},
    {"section data beyond the block",
     [] {
       auto b = tagged_dll(1).build();
       b.resize(b.size() - 0x100);
       return b;
     }},
    {"section alignment 0",
     [] {
       auto image = tagged_dll(1);
       image.section_alignment = 0;
       return image.build();
     }},
    {"relocation block of size 0",
     [] {
       auto image = tagged_dll(1);
       image.relocations.clear();
       image.raw_relocation_entries = {0x3000};
       auto b = image.build();
       // The .reloc raw data is the last section of the file; its SizeOfBlock follows the
       // page address.
       const std::size_t reloc = b.size() - 0x200;
       put32(b, reloc + 4, 0);
       return b;
     }},
    {"relocation outside the image",
     [] {
       auto image = tagged_dll(1);
       image.relocations.push_back(0x00F00000);
       return image.build();
     }},
};

TEST_F(MemoryModuleTest, BrokenImagesFailWithoutRunningAnything) {
  for (const auto& c : BROKEN_IMAGES) {
    SCOPED_TRACE(c.what);
    entry_calls().clear();
    // An exact-size heap block: reading past its end is caught by the address sanitizer.
    const auto bytes = c.make();
    auto exact = std::make_unique<std::uint8_t[]>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), exact.get());
    MemoryModule& m = module();
    EXPECT_FALSE(m.load(std::span<const std::uint8_t>(exact.get(), bytes.size())));
    EXPECT_EQ(m.base_address(), 0u);
    EXPECT_EQ(m.entry_address(), 0u);
    EXPECT_TRUE(entry_calls().empty());
  }
  // None of them left its mapping behind: the preferred base is still free.
  MemoryModule& m = module();
  ASSERT_TRUE(load(m, tagged_dll(1).build()));
  EXPECT_EQ(m.base_address(), 0x00400000u);
}

TEST_F(MemoryModuleTest, LoadPlacesTheImageAndAttaches) {
  const PeImage image = tagged_dll(7);
  MemoryModule& m = module();
  ASSERT_TRUE(load(m, image.build()));
  EXPECT_EQ(m.base_address(), 0x00400000u);
  EXPECT_EQ(m.entry_address(), m.base_address() + image.entry_rva);
  EXPECT_EQ(entry_calls(), (std::vector<EntryCall>{{7, 1}}));
  // Headers and sections are where the image says.
  EXPECT_EQ(platform::x86_machine().read_u16(m.base_address()).value_or(0), 0x5A4D);
  EXPECT_EQ(platform::x86_machine().read_bytes(m.base_address() + test::PE_TEXT_RVA, image.text.size()),
            std::string(image.text.begin(), image.text.end()));
}

TEST_F(MemoryModuleTest, ImageWithoutDllBitIsKeptWithoutCallingItsEntryPoint) {
  PeImage image = tagged_dll(7);
  image.characteristics &= static_cast<std::uint16_t>(~test::PE_DLL);
  MemoryModule& m = module();
  ASSERT_TRUE(load(m, image.build()));
  EXPECT_NE(m.base_address(), 0u);
  EXPECT_TRUE(entry_calls().empty());
  EXPECT_TRUE(m.unload());
  EXPECT_TRUE(entry_calls().empty());
}

// A global pointer and a function that reads a global through its absolute address,
// plus relocation entries of types the loader must leave alone.
PeImage relocated_dll(std::uint32_t image_base) {
  PeImage image = tagged_dll(3, image_base);
  image.data.assign(32, 0);
  put32(image.data, 0, image.va(PE_DATA_RVA + 0x10));  // pointer to data + 0x10
  put32(image.data, 8, 0x11223344);                    // named by a 64-bit entry: not touched
  put32(image.data, 0x10, 0xCAFE);
  image.relocations.push_back(PE_DATA_RVA);
  image.raw_relocation_entries = {0x0000, static_cast<std::uint16_t>(0xA000 | 8)};
  X86Code code(image, test::PE_TEXT_RVA + static_cast<std::uint32_t>(image.text.size()));
  image.export_functions = {code.here()};
  image.export_names = {{"ReadThroughPointer", 0}};
  image.has_exports = true;
  // mov eax,[data]; mov eax,[eax]; ret
  code.mov_eax_global(PE_DATA_RVA);
  code.place_into(image);
  image.text.insert(image.text.end(), {0x8B, 0x00, 0xC3});
  return image;
}

TEST_F(MemoryModuleTest, RelocationsAtThePreferredBaseChangeNothing) {
  const PeImage image = relocated_dll(0x00400000);
  MemoryModule& m = module();
  ASSERT_TRUE(load(m, image.build()));
  ASSERT_EQ(m.base_address(), image.image_base);
  EXPECT_EQ(guest_u32(m.base_address() + PE_DATA_RVA), image.va(PE_DATA_RVA + 0x10));
  EXPECT_EQ(guest_u32(m.base_address() + PE_DATA_RVA + 8), 0x11223344u);
  EXPECT_EQ(call_address(m.find_export("ReadThroughPointer"), {}), 0xCAFEu);
}

TEST_F(MemoryModuleTest, RelocationsFollowAMovedBase) {
  const PeImage image = relocated_dll(0x00400000);
  MemoryModule& first = module();
  ASSERT_TRUE(load(first, image.build()));
  MemoryModule& moved = module();
  ASSERT_TRUE(load(moved, image.build()));
  const GuestAddress base = moved.base_address();
  ASSERT_NE(base, 0u);
  ASSERT_NE(base, image.image_base);
  EXPECT_EQ(guest_u32(base + PE_DATA_RVA), base + PE_DATA_RVA + 0x10);
  EXPECT_EQ(guest_u32(base + PE_DATA_RVA + 8), 0x11223344u);
  // The code's own absolute operands moved too, and so did its import call.
  EXPECT_EQ(call_address(moved.find_export("ReadThroughPointer"), {}), 0xCAFEu);
  EXPECT_EQ(entry_calls(), (std::vector<EntryCall>{{3, 1}, {3, 1}}));
  // The first image is untouched by the second.
  EXPECT_EQ(guest_u32(first.base_address() + PE_DATA_RVA), image.va(PE_DATA_RVA + 0x10));
}

// Exports UseAdd(a,b), UseMul(a,b) and UseTwice(a) call their imports through the slots.
PeImage importing_dll() {
  PeImage image = tagged_dll(5);
  image.imports = {{"looptest.dll", {{"Record"}, {"Add"}, {"", 2}}}, {"resolved.dll", {{"Twice"}}}};
  image.text.clear();
  image.relocations.clear();
  X86Code code(image);
  image.entry_rva = code.here();
  code.push_stack(8).push_imm(5).call_import(image.import_slot(0, 0)).mov_eax_imm(1).ret(12);
  const std::uint32_t use_add = code.here();
  code.push_stack(8).push_stack(8).call_import(image.import_slot(0, 1)).ret(8);
  const std::uint32_t use_mul = code.here();
  code.push_stack(8).push_stack(8).call_import(image.import_slot(0, 2)).ret(8);
  const std::uint32_t use_twice = code.here();
  code.push_stack(4).call_import(image.import_slot(1, 0)).ret(4);
  code.place_into(image);
  image.has_exports = true;
  image.export_functions = {use_add, use_mul, use_twice};
  image.export_names = {{"UseAdd", 0}, {"UseMul", 1}, {"UseTwice", 2}};
  return image;
}

TEST_F(MemoryModuleTest, ImportsByNameAndOrdinalThroughResolverAndHostModules) {
  struct Asked {
    std::string dll, function;
    std::uintptr_t user;
  };
  std::vector<Asked> asked;
  const GuestAddress twice = platform::x86_machine().make_thunk(
      [](std::span<const std::uint32_t> a) { return 2 * a[0]; }, 1);
  ASSERT_NE(twice, 0u);
  const ImportResolver resolver = [&](const std::string& dll, const std::string& function,
                                      std::uintptr_t user) -> GuestAddress {
    asked.push_back({dll, function, user});
    return dll == "resolved.dll" ? twice : 0;  // everything else goes to the registry
  };
  const PeImage image = importing_dll();
  MemoryModule& m = module();
  ASSERT_TRUE(load(m, image.build(), resolver, 77));

  ASSERT_EQ(asked.size(), 4u);
  const Asked expected[] = {{"looptest.dll", "Record", 77},
                            {"looptest.dll", "Add", 77},
                            {"looptest.dll", "2", 77},  // by ordinal: written in decimal
                            {"resolved.dll", "Twice", 77}};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(asked[i].dll, expected[i].dll);
    EXPECT_EQ(asked[i].function, expected[i].function);
    EXPECT_EQ(asked[i].user, expected[i].user);
  }
  EXPECT_EQ(guest_u32(m.base_address() + image.import_slot(1, 0)), twice);
  EXPECT_EQ(call_address(m.find_export("UseAdd"), {20, 22}), 42u);
  EXPECT_EQ(call_address(m.find_export("UseMul"), {6, 7}), 42u);
  EXPECT_EQ(call_address(m.find_export("UseTwice"), {21}), 42u);
}

TEST_F(MemoryModuleTest, ResolverAnswerComesBeforeTheHostModule) {
  const GuestAddress minus = platform::x86_machine().make_thunk(
      [](std::span<const std::uint32_t> a) { return a[0] - a[1]; }, 2);
  const GuestAddress twice = platform::x86_machine().make_thunk(
      [](std::span<const std::uint32_t> a) { return 2 * a[0]; }, 1);
  MemoryModule& m = module();
  ASSERT_TRUE(load(m, importing_dll().build(),
                   [&](const std::string& dll, const std::string& function, std::uintptr_t) {
                     if (function == "Add") return minus;
                     return dll == "resolved.dll" ? twice : GuestAddress{0};
                   }));
  EXPECT_EQ(call_address(m.find_export("UseAdd"), {50, 8}), 42u);
}

TEST_F(MemoryModuleTest, UnresolvableImportFailsAndReleasesTheMapping) {
  struct Case {
    const char* what;
    PeImportLibrary library;
  };
  const Case cases[] = {
      {"function missing from a host module", {"looptest.dll", {{"Record"}, {"Sub"}}}},
      {"ordinal missing from a host module", {"looptest.dll", {{"Record"}, {"", 9}}}},
      {"library nobody offers", {"looptest.dll", {{"Record"}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    entry_calls().clear();
    PeImage image = tagged_dll(9);
    image.imports = {c.library};
    if (std::string(c.what).starts_with("library")) image.imports.push_back({"nowhere.dll", {{"Foo"}}});
    MemoryModule& m = module();
    // The resolver is asked and declines; no host module supplies the import either.
    EXPECT_FALSE(load(m, image.build(), [](const std::string&, const std::string&, std::uintptr_t) {
      return GuestAddress{0};
    }));
    EXPECT_EQ(m.base_address(), 0u);
    EXPECT_TRUE(entry_calls().empty());
  }
  MemoryModule& m = module();
  ASSERT_TRUE(load(m, tagged_dll(1).build()));
  EXPECT_EQ(m.base_address(), 0x00400000u);
}

TEST_F(MemoryModuleTest, EntryPointReturningZeroIsDetachedAndTheLoadFails) {
  MemoryModule& m = module();
  EXPECT_FALSE(load(m, tagged_dll(4, 0x00400000, 0).build()));
  EXPECT_EQ(m.base_address(), 0u);
  EXPECT_EQ(entry_calls(), (std::vector<EntryCall>{{4, 1}, {4, 0}}));
  MemoryModule& again = module();
  ASSERT_TRUE(load(again, tagged_dll(1).build()));
  EXPECT_EQ(again.base_address(), 0x00400000u);
}

TEST_F(MemoryModuleTest, SecondLoadUnloadsTheFirstAndUnloadDetaches) {
  MemoryModule& m = module();
  ASSERT_TRUE(load(m, tagged_dll(1, 0x00400000).build()));
  ASSERT_TRUE(load(m, tagged_dll(2, 0x00400000).build()));
  // The first image went before the second came, so the second got the same base.
  EXPECT_EQ(m.base_address(), 0x00400000u);
  EXPECT_EQ(entry_calls(), (std::vector<EntryCall>{{1, 1}, {1, 0}, {2, 1}}));
  EXPECT_TRUE(m.unload());
  EXPECT_EQ(m.base_address(), 0u);
  EXPECT_EQ(m.entry_address(), 0u);
  EXPECT_EQ(entry_calls().back(), (EntryCall{2, 0}));
  EXPECT_TRUE(m.unload());  // nothing held: nothing to do
  EXPECT_EQ(entry_calls().size(), 4u);
}

TEST_F(MemoryModuleTest, FailedSecondLoadLeavesNothingHeld) {
  MemoryModule& m = module();
  ASSERT_TRUE(load(m, tagged_dll(1).build()));
  EXPECT_FALSE(load(m, std::vector<std::uint8_t>(10, 0)));
  EXPECT_EQ(m.base_address(), 0u);
  EXPECT_EQ(entry_calls(), (std::vector<EntryCall>{{1, 1}, {1, 0}}));
}

TEST_F(MemoryModuleTest, CopiesShareTheMappingAndDestroyingReleasesNothing) {
  platform::register_host_module(
      "resolved", {{"Twice", 0, 1, [](std::span<const std::uint32_t> a) { return 2 * a[0]; }}});
  const PeImage image = importing_dll();
  MemoryModule& m = module();
  ASSERT_TRUE(load(m, image.build()));
  {
    const MemoryModule copy = m;
    EXPECT_EQ(copy.base_address(), m.base_address());
    EXPECT_EQ(copy.find_export("UseAdd"), m.find_export("UseAdd"));
  }
  EXPECT_EQ(entry_calls(), (std::vector<EntryCall>{{5, 1}}));
  EXPECT_EQ(call_address(m.find_export("UseAdd"), {1, 2}), 3u);
  EXPECT_EQ(call_address(m.find_export("UseTwice"), {4}), 8u);
  platform::unregister_host_module("resolved.dll");
}

// Twelve functions from ordinal 1, each returning 100 + its index, with a gap at
// index 3; names in sorted order, among them one pointing at the gap and one whose
// index equals the number of functions.
PeImage exporting_dll(bool later_name_pointers_broken) {
  PeImage image;
  image.characteristics = test::PE_EXECUTABLE_IMAGE | test::PE_32BIT_MACHINE;
  image.has_exports = true;
  image.export_base = 1;
  X86Code code(image);
  for (std::uint32_t i = 0; i < 12; ++i) {
    image.export_functions.push_back(i == 3 ? 0 : code.here());
    code.mov_eax_imm(100 + i).ret();
  }
  code.place_into(image);
  image.export_names = {{"Alpha", 0}, {"Beyond", 12}, {"Gap", 3}, {"SkinH_AttachRes", 11}, {"Zeta", 5}};
  if (later_name_pointers_broken) image.bogus_later_name_rva = 0x0FFFFFF0;
  return image;
}

TEST_F(MemoryModuleTest, FindExportByOrdinalAndByName) {
  struct Case {
    const char* name;
    int function;  // expected function index, -1 for not found
  };
  const Case cases[] = {
      {"12", 11},                // ordinal: 12 - Base 1 = index 11
      {"1", 0},
      {"13", -1},                // index equals NumberOfFunctions
      {"0", -1},                 // below Base
      {"-1", -1},
      {"4", -1},                 // gap in the function table
      {"012", -1},               // not the decimal form of 12: a name, and none has it
      {"+12", -1},
      {"99999999999", -1},
      {"SkinH_AttachRes", 11},
      {"skinh_attachres", -1},   // case counts
      {"Alpha", 0},
      {"Zeta", 5},
      {"Gap", -1},               // named, but its function entry is 0
      {"Beyond", -1},            // named, but its index is out of range
      {"Alph", -1},
      {"", -1},
  };
  for (bool broken : {false, true}) {
    SCOPED_TRACE(broken ? "names walked in memory order, later pointers broken" : "true pointers");
    const PeImage image = exporting_dll(broken);
    MemoryModule& m = module();
    ASSERT_TRUE(load(m, image.build()));
    for (const auto& c : cases) {
      SCOPED_TRACE(c.name);
      const GuestAddress found = m.find_export(c.name);
      if (c.function < 0) {
        EXPECT_EQ(found, 0u);
      } else {
        EXPECT_EQ(found, m.base_address() + image.export_functions[c.function]);
        EXPECT_EQ(call_address(found, {}), 100u + c.function);
      }
    }
    m.unload();
  }
}

TEST_F(MemoryModuleTest, FindExportWithoutImageOrExportDirectory) {
  MemoryModule& m = module();
  EXPECT_EQ(m.find_export("1"), 0u);
  EXPECT_EQ(m.find_export("Record"), 0u);
  ASSERT_TRUE(load(m, tagged_dll(1).build()));
  EXPECT_EQ(m.find_export("1"), 0u);
  EXPECT_EQ(m.find_export("Record"), 0u);
}

TEST_F(MemoryModuleTest, CallAddressPassesTenArgumentsInOrder) {
  PeImage image;
  image.characteristics = test::PE_EXECUTABLE_IMAGE | test::PE_32BIT_MACHINE;
  X86Code code(image);
  // Weighted so that a swapped pair shows: sum of arg_i << (3 * i) for small args.
  // mov eax,[esp+40]; then eax = eax*8 + [esp+4k] for k = 9 .. 1; ret 40
  code.mov_eax_stack(40);
  code.place_into(image);
  for (std::uint8_t k = 9; k >= 1; --k) {
    image.text.insert(image.text.end(), {0xC1, 0xE0, 0x03});  // shl eax,3
    X86Code step(image, test::PE_TEXT_RVA + static_cast<std::uint32_t>(image.text.size()));
    step.add_eax_stack(static_cast<std::uint8_t>(4 * k));
    step.place_into(image);
  }
  X86Code tail(image, test::PE_TEXT_RVA + static_cast<std::uint32_t>(image.text.size()));
  tail.ret(40);
  tail.place_into(image);
  MemoryModule& m = module();
  ASSERT_TRUE(load(m, image.build()));
  const GuestAddress f = m.base_address() + test::PE_TEXT_RVA;
  // arg k (1-based) ends up weighted 8^(k-1).
  EXPECT_EQ(call_address(f, {1, 2, 3, 4, 5, 6, 7, 0, 1, 2}), 02107654321u);
  EXPECT_EQ(call_address(f, {7, 0, 0, 0, 0, 0, 0, 0, 0, 1}), 01000000007u);
  EXPECT_EQ(call_address(f, {1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3}), 0u);  // eleven: refused
  EXPECT_EQ(call_address(0, {}), 0u);
}

TEST_F(MemoryModuleTest, GuestFaultEndsTheCallWithZero) {
  if (platform::x86_machine_is_native()) GTEST_SKIP() << "a fault is a crash in the process";
  PeImage image;
  image.characteristics = test::PE_EXECUTABLE_IMAGE | test::PE_32BIT_MACHINE;
  X86Code code(image);
  code.mov_eax_at_zero().ret();
  const std::uint32_t fine = code.here();
  code.mov_eax_imm(42).ret();
  code.place_into(image);
  MemoryModule& m = module();
  ASSERT_TRUE(load(m, image.build()));
  EXPECT_EQ(call_address(m.base_address() + test::PE_TEXT_RVA, {}), 0u);
  EXPECT_EQ(call_address(m.base_address() + fine, {}), 42u);  // the machine goes on
}

}  // namespace
}  // namespace corvane
