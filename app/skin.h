#pragma once
// The skin step: the process-wide skin_module holding our skin engine, loaded from the
// image the program carries, and apply_skin, which hands the carried skin data to the
// engine's SkinH_AttachRes. The engine hands the resulting style back through the host
// module "corvhost.dll"; the GUI installs a sink that applies it to its windows. No
// window code here: the style arrives as plain data.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/memory_module.h"

namespace corvane {

inline constexpr std::string_view SKIN_HOST_MODULE = "corvhost.dll";
inline constexpr std::string_view SKIN_ATTACH_EXPORT = "SkinH_AttachRes";
inline constexpr std::uint32_t SKIN_HOST_INTERFACE = 1;

// What apply_skin returns: the engine's own result, or SKIN_UNAVAILABLE when there is no
// engine to ask (not loaded, export missing, or the call could not run).
inline constexpr int SKIN_APPLIED = 1;
inline constexpr int SKIN_UNAVAILABLE = 0;
inline constexpr int SKIN_NOT_READY = -1;  // the engine's entry point has not run
inline constexpr int SKIN_BAD_DATA = -2;
inline constexpr int SKIN_BAD_PASSWORD = -3;
inline constexpr int SKIN_TOO_LARGE = -4;
inline constexpr int SKIN_HOST_REFUSED = -5;

// Colour groups of a palette entry.
inline constexpr int SKIN_GROUP_ALL = 0;
inline constexpr int SKIN_GROUP_ACTIVE = 1;
inline constexpr int SKIN_GROUP_DISABLED = 2;
inline constexpr int SKIN_GROUP_INACTIVE = 3;

struct SkinPaletteColor {
  int role = 0;   // numbered as the GUI toolkit numbers its palette roles (0 WindowText ...)
  int group = SKIN_GROUP_ALL;
  std::uint32_t rgb = 0;  // 0xRRGGBB
  bool operator==(const SkinPaletteColor&) const = default;
};

// One complete style as the engine hands it over: palette colours first, then the
// style sheet (GBK text) that completes it.
struct SkinStyle {
  std::vector<SkinPaletteColor> palette;
  std::string style_sheet;
};

// Receives each style the engine hands over, on the thread that called the engine and
// while the engine runs: it must not call into modules itself. An empty function
// removes the sink; styles then go nowhere.
using SkinStyleSink = std::function<void(const SkinStyle& style)>;
void set_skin_style_sink(SkinStyleSink sink);

// Registers the host module the engine imports from (GetHostVersion, SetPaletteColor,
// SetStyleSheet); done by load_skin_engine, harmless to repeat.
void register_skin_host();

// The carried engine image and skin data, embedded at build time. The engine image is
// empty when the program was built without the cross compiler.
std::span<const std::uint8_t> skin_engine_image();
std::span<const std::uint8_t> skin_data();

// The process-wide module that holds the engine; it lives until the process ends.
MemoryModule& skin_module();

// Loads the carried engine into skin_module. False when there is no engine image or it
// does not load; the windows then open unskinned.
bool load_skin_engine();

// Looks up SkinH_AttachRes in engine (skin_module for the first form) and calls it with
// the skin bytes, their length, the password (null when none), hue, saturation and
// brightness. The bytes are copied where the engine can read them for the call.
int apply_skin(std::span<const std::uint8_t> skin_bytes, const std::optional<std::string>& password,
               int hue, int saturation, int brightness);
int apply_skin(const MemoryModule& engine, std::span<const std::uint8_t> skin_bytes,
               const std::optional<std::string>& password, int hue, int saturation, int brightness);

}  // namespace corvane
