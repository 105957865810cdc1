#include "app/skin.h"

#include <cstring>
#include <utility>

#include "platform/module_registry.h"
#include "platform/x86_machine.h"

namespace corvane {

namespace {

SkinStyleSink& style_sink() {
  static SkinStyleSink sink;
  return sink;
}

// Palette colours collected until the style sheet completes the style.
SkinStyle& pending_style() {
  static SkinStyle style;
  return style;
}

std::uint32_t set_palette_color(std::span<const std::uint32_t> a) {
  pending_style().palette.push_back(SkinPaletteColor{static_cast<int>(a[0] & 0xFF),
                                                     static_cast<int>((a[0] >> 8) & 0xFF),
                                                     a[1] & 0xFFFFFF});
  return 1;
}

std::uint32_t set_style_sheet(std::span<const std::uint32_t> a) {
  auto text = platform::x86_machine().read_bytes(a[0], a[1]);
  if (!text) return 0;
  SkinStyle style = std::move(pending_style());
  pending_style() = SkinStyle{};
  style.style_sheet = std::move(*text);
  if (style_sink()) style_sink()(style);
  return 1;
}

}  // namespace

void set_skin_style_sink(SkinStyleSink sink) { style_sink() = std::move(sink); }

void register_skin_host() {
  if (platform::host_module_registered(SKIN_HOST_MODULE)) return;
  platform::register_host_module(
      SKIN_HOST_MODULE,
      {{"GetHostVersion", 1, 0, [](std::span<const std::uint32_t>) { return SKIN_HOST_INTERFACE; }},
       {"SetPaletteColor", 2, 2, set_palette_color},
       {"SetStyleSheet", 3, 2, set_style_sheet}});
}

MemoryModule& skin_module() {
  static MemoryModule module;
  return module;
}

bool load_skin_engine() {
  register_skin_host();
  const auto image = skin_engine_image();
  if (image.empty()) return false;
  return skin_module().load(image);
}

int apply_skin(std::span<const std::uint8_t> skin_bytes, const std::optional<std::string>& password,
               int hue, int saturation, int brightness) {
  return apply_skin(skin_module(), skin_bytes, password, hue, saturation, brightness);
}

int apply_skin(const MemoryModule& engine, std::span<const std::uint8_t> skin_bytes,
               const std::optional<std::string>& password, int hue, int saturation, int brightness) {
  const GuestAddress attach = engine.find_export(SKIN_ATTACH_EXPORT);
  if (attach == 0) return SKIN_UNAVAILABLE;

  // The skin bytes and the password (zero-terminated) in one block the engine can read.
  auto& machine = platform::x86_machine();
  const std::size_t password_size = password ? password->size() + 1 : 0;
  const std::size_t total = skin_bytes.size() + password_size;
  if (total > 0x10000000) return SKIN_BAD_DATA;
  const GuestAddress block = machine.allocate(0, static_cast<std::uint32_t>(total == 0 ? 1 : total));
  if (block == 0) return SKIN_UNAVAILABLE;
  const GuestAddress password_at = block + static_cast<GuestAddress>(skin_bytes.size());
  bool copied = machine.write(block, skin_bytes.data(), skin_bytes.size());
  if (password) copied = copied && machine.write(password_at, password->c_str(), password_size);

  int result = SKIN_UNAVAILABLE;
  if (copied) {
    pending_style() = SkinStyle{};
    const std::uint32_t arguments[6] = {
        block, static_cast<std::uint32_t>(skin_bytes.size()), password ? password_at : 0,
        static_cast<std::uint32_t>(hue), static_cast<std::uint32_t>(saturation),
        static_cast<std::uint32_t>(brightness)};
    result = static_cast<int>(call_address(attach, arguments));
    // A style the engine began but did not complete is dropped.
    pending_style() = SkinStyle{};
  }
  machine.release(block);
  return result;
}

}  // namespace corvane
