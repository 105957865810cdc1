// Our skin engine, loaded from the image the program carries: the export found and
// called, the style handed to the host's sink, and the engine's refusals.
#include "app/skin.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/module_registry.h"
#include "skin/engine/she_format.h"
#include "tests/support/gbk.h"
#include "tests/support/pe_builder.h"

namespace corvane {
namespace {

std::vector<std::uint8_t> carried_skin() {
  const auto data = skin_data();
  return {data.begin(), data.end()};
}

std::uint32_t get32(const std::vector<std::uint8_t>& v, std::size_t at) {
  return v[at] | v[at + 1] << 8 | v[at + 2] << 16 | static_cast<std::uint32_t>(v[at + 3]) << 24;
}
void put32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + i] = static_cast<std::uint8_t>(x >> (8 * i));
}
std::uint32_t fnv1a(const std::string& s) {
  std::uint32_t h = SHE_FNV_OFFSET;
  for (unsigned char c : s) h = (h ^ c) * SHE_FNV_PRIME;
  return h;
}

// The palette as the skin data itself describes it, read with the format's layout.
struct SourceColour {
  std::uint32_t rgb;
  bool fixed;
};
struct SkinContents {
  std::vector<SourceColour> colours;
  std::vector<std::pair<SkinPaletteColor, bool>> palette;  // entry at no shift, its colour fixed
};
SkinContents contents_of(const std::vector<std::uint8_t>& she) {
  SkinContents c;
  const std::size_t colours = she[SHE_AT_COLOUR_COUNT] | she[SHE_AT_COLOUR_COUNT + 1] << 8;
  const std::size_t entries = she[SHE_AT_PALETTE_COUNT] | she[SHE_AT_PALETTE_COUNT + 1] << 8;
  for (std::size_t i = 0; i < colours; ++i) {
    const std::uint8_t* p = she.data() + SHE_HEADER_SIZE + 4 * i;
    c.colours.push_back({static_cast<std::uint32_t>(p[0] << 16 | p[1] << 8 | p[2]),
                         (p[3] & SHE_COLOUR_FIXED) != 0});
  }
  for (std::size_t i = 0; i < entries; ++i) {
    const std::uint8_t* p = she.data() + SHE_HEADER_SIZE + 4 * colours + 4 * i;
    c.palette.push_back({SkinPaletteColor{p[0], p[1], c.colours.at(p[2]).rgb}, c.colours.at(p[2]).fixed});
  }
  return c;
}

class SkinEngineTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!skin_engine_image().empty()) {
      ASSERT_TRUE(load_skin_engine());
    }
  }
  void SetUp() override {
    if (skin_engine_image().empty()) GTEST_SKIP() << "built without the cross compiler";
    styles_.clear();
    set_skin_style_sink([this](const SkinStyle& style) { styles_.push_back(style); });
  }
  void TearDown() override { set_skin_style_sink({}); }

  int apply(const std::vector<std::uint8_t>& bytes, int hue = 0, int saturation = 0,
            int brightness = 0, std::optional<std::string> password = std::nullopt) {
    return apply_skin(std::span<const std::uint8_t>(bytes), password, hue, saturation, brightness);
  }

  std::vector<SkinStyle> styles_;
};

TEST_F(SkinEngineTest, CarriedEngineAppliesTheCarriedSkin) {
  ASSERT_NE(skin_module().base_address(), 0u);
  ASSERT_NE(skin_module().find_export("SkinH_AttachRes"), 0u);
  EXPECT_EQ(skin_module().find_export("skinh_attachres"), 0u);

  EXPECT_EQ(apply_skin(skin_data(), std::nullopt, 0, 0, 0), SKIN_APPLIED);
  ASSERT_EQ(styles_.size(), 1u);
  const SkinStyle& style = styles_[0];

  // Every palette entry arrives, in order, with the skin's own colour.
  const SkinContents contents = contents_of(carried_skin());
  ASSERT_EQ(style.palette.size(), contents.palette.size());
  for (std::size_t i = 0; i < contents.palette.size(); ++i)
    EXPECT_EQ(style.palette[i], contents.palette[i].first) << "entry " << i;

  // The style sheet: GBK text, colours written out, every kind of control covered.
  const std::string& sheet = style.style_sheet;
  EXPECT_EQ(sheet.find('\x01'), std::string::npos);
  EXPECT_EQ(sheet.find('@'), std::string::npos);
  for (const char* utf8 : {"QToolBar", "QToolButton", "QPushButton", "QLineEdit", "QCheckBox",
                           "QGroupBox", "QTabBar::tab", "QHeaderView::section", "QStatusBar",
                           "QMenu::item:selected", "QProgressBar::chunk", "QScrollBar",
                           "#图形按钮_上传", "#超级列表框", "#超级列表框_任务列表", "#选择夹1",
                           "#状态条", "#2f6fb3"})
    EXPECT_NE(sheet.find(test::gbk(utf8)), std::string::npos) << utf8;
}

TEST_F(SkinEngineTest, HueSaturationAndBrightnessShiftTheColours) {
  const auto skin = carried_skin();
  const SkinContents contents = contents_of(skin);
  struct Case {
    const char* what;
    int hue, saturation, brightness;
    bool (*holds)(std::uint32_t shifted, std::uint32_t original);
  };
  const Case cases[] = {
      {"full brightness makes everything white", 0, 0, 100,
       [](std::uint32_t s, std::uint32_t) { return s == 0xFFFFFF; }},
      {"no brightness makes everything black", 0, 0, -100,
       [](std::uint32_t s, std::uint32_t) { return s == 0; }},
      {"no saturation leaves only greys", 0, -100, 0,
       [](std::uint32_t s, std::uint32_t) {
         return (s >> 16) == ((s >> 8) & 0xFF) && (s & 0xFF) == ((s >> 8) & 0xFF);
       }},
      {"a full turn of the hue changes nothing", 360, 0, 0,
       [](std::uint32_t s, std::uint32_t o) { return s == o; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    styles_.clear();
    ASSERT_EQ(apply(skin, c.hue, c.saturation, c.brightness), SKIN_APPLIED);
    ASSERT_EQ(styles_.size(), 1u);
    ASSERT_EQ(styles_[0].palette.size(), contents.palette.size());
    for (std::size_t i = 0; i < contents.palette.size(); ++i) {
      const auto& [original, fixed] = contents.palette[i];
      const std::uint32_t shifted = styles_[0].palette[i].rgb;
      if (fixed) {
        EXPECT_EQ(shifted, original.rgb) << "fixed colour of entry " << i;
      } else {
        EXPECT_TRUE(c.holds(shifted, original.rgb)) << "entry " << i << std::hex << " " << shifted;
      }
    }
  }
  // Half a turn moves the blue accent to the warm side, in the sheet as in the palette.
  styles_.clear();
  ASSERT_EQ(apply(skin, 180), SKIN_APPLIED);
  ASSERT_EQ(styles_.size(), 1u);
  const std::string& sheet = styles_[0].style_sheet;
  EXPECT_EQ(sheet.find("#2f6fb3"), std::string::npos);
  EXPECT_NE(sheet.find("#b3732f"), std::string::npos);
}

TEST_F(SkinEngineTest, DamagedDataIsRefusedAndNothingIsHandedOver) {
  const auto skin = carried_skin();
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
    int expected;
  };
  std::vector<Case> cases;
  cases.push_back({"empty", {}, SKIN_BAD_DATA});
  cases.push_back({"only the magic", {'.', 'S', 'H', 'E'}, SKIN_BAD_DATA});
  auto magic = skin;
  magic[1] = 's';
  cases.push_back({"wrong magic", magic, SKIN_BAD_DATA});
  auto truncated = skin;
  truncated.pop_back();
  cases.push_back({"one byte short", truncated, SKIN_BAD_DATA});
  auto flipped = skin;
  flipped[flipped.size() / 2] ^= 0x20;
  cases.push_back({"a byte changed", flipped, SKIN_BAD_DATA});
  auto version = skin;
  version[SHE_AT_VERSION] = 2;
  cases.push_back({"unknown version", version, SKIN_BAD_DATA});
  auto huge = skin;
  put32(huge, SHE_AT_TEMPLATE_SIZE, 0xFFFFFFF0);
  cases.push_back({"template size past the end", huge, SKIN_BAD_DATA});
  auto colours = skin;
  colours[SHE_AT_COLOUR_COUNT] = 0xFF;
  colours[SHE_AT_COLOUR_COUNT + 1] = 0xFF;
  cases.push_back({"colour count past the end", colours, SKIN_BAD_DATA});
  auto longer = skin;
  longer.push_back(0);  // bytes after the data are not part of it
  cases.push_back({"trailing byte", longer, SKIN_APPLIED});

  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    styles_.clear();
    EXPECT_EQ(apply(c.bytes), c.expected);
    EXPECT_EQ(styles_.size(), c.expected == SKIN_APPLIED ? 1u : 0u);
  }
}

TEST_F(SkinEngineTest, PasswordProtectedSkin) {
  auto skin = carried_skin();
  put32(skin, SHE_AT_PASSWORD, fnv1a(test::gbk("口令")));  // the checksum covers the body only
  EXPECT_EQ(apply(skin, 0, 0, 0, std::nullopt), SKIN_BAD_PASSWORD);
  EXPECT_EQ(apply(skin, 0, 0, 0, std::string("wrong")), SKIN_BAD_PASSWORD);
  EXPECT_EQ(apply(skin, 0, 0, 0, std::string()), SKIN_BAD_PASSWORD);
  EXPECT_TRUE(styles_.empty());
  EXPECT_EQ(apply(skin, 0, 0, 0, test::gbk("口令")), SKIN_APPLIED);
  EXPECT_EQ(styles_.size(), 1u);
  // A skin without a password takes any.
  EXPECT_EQ(apply(carried_skin(), 0, 0, 0, std::string("anything")), SKIN_APPLIED);
}

TEST_F(SkinEngineTest, ExportCalledBeforeTheEntryPointRanFails) {
  // Without the DLL bit the loader keeps the image without running its entry point.
  std::vector<std::uint8_t> image(skin_engine_image().begin(), skin_engine_image().end());
  const std::uint32_t nt = get32(image, 0x3C);
  image[nt + 23] &= ~0x20;
  MemoryModule engine;
  ASSERT_TRUE(engine.load(image));
  const auto skin = carried_skin();
  EXPECT_NE(engine.find_export("SkinH_AttachRes"), 0u);
  EXPECT_EQ(apply_skin(engine, skin, std::nullopt, 0, 0, 0), SKIN_NOT_READY);
  EXPECT_TRUE(styles_.empty());
  EXPECT_TRUE(engine.unload());
}

TEST_F(SkinEngineTest, EngineNeedsItsHostModule) {
  const auto image = skin_engine_image();
  MemoryModule engine;
  platform::unregister_host_module(SKIN_HOST_MODULE);
  EXPECT_FALSE(engine.load(image));  // its imports cannot be resolved
  // A host of another interface version: the entry point declines and the load fails.
  platform::register_host_module(
      SKIN_HOST_MODULE,
      {{"GetHostVersion", 1, 0, [](std::span<const std::uint32_t>) { return 2u; }},
       {"SetPaletteColor", 2, 2, [](std::span<const std::uint32_t>) { return 1u; }},
       {"SetStyleSheet", 3, 2, [](std::span<const std::uint32_t>) { return 1u; }}});
  EXPECT_FALSE(engine.load(image));
  EXPECT_EQ(engine.base_address(), 0u);
  platform::unregister_host_module(SKIN_HOST_MODULE);
  register_skin_host();
  ASSERT_TRUE(engine.load(image));
  EXPECT_EQ(apply_skin(engine, skin_data(), std::nullopt, 0, 0, 0), SKIN_APPLIED);
  EXPECT_TRUE(engine.unload());
  EXPECT_EQ(apply_skin(engine, skin_data(), std::nullopt, 0, 0, 0), SKIN_UNAVAILABLE);
}

TEST_F(SkinEngineTest, StylesWithoutASinkGoNowhere) {
  set_skin_style_sink({});
  EXPECT_EQ(apply_skin(skin_data(), std::nullopt, 0, 0, 0), SKIN_APPLIED);
  EXPECT_TRUE(styles_.empty());
}

// Without an engine (none carried, or one without the export) there is no skin, and
// nothing goes to the sink.
TEST(SkinWithoutEngineTest, NothingToAskMeansUnavailable) {
  std::vector<SkinStyle> styles;
  set_skin_style_sink([&](const SkinStyle& style) { styles.push_back(style); });

  EXPECT_EQ(apply_skin(MemoryModule{}, skin_data(), std::nullopt, 0, 0, 0), SKIN_UNAVAILABLE);

  test::PeImage image;
  image.characteristics = test::PE_EXECUTABLE_IMAGE | test::PE_32BIT_MACHINE;
  image.text = {0xB8, 0x01, 0x00, 0x00, 0x00, 0xC2, 0x18, 0x00};  // mov eax,1; ret 24
  image.has_exports = true;
  image.export_functions = {test::PE_TEXT_RVA};
  image.export_names = {{"SkinH_AttachResource", 0}};
  const auto bytes = image.build();
  MemoryModule other;
  ASSERT_TRUE(other.load(bytes));
  EXPECT_EQ(apply_skin(other, skin_data(), std::nullopt, 0, 0, 0), SKIN_UNAVAILABLE);
  other.unload();

  if (skin_engine_image().empty()) {
    EXPECT_FALSE(load_skin_engine());
    EXPECT_EQ(apply_skin(skin_data(), std::nullopt, 0, 0, 0), SKIN_UNAVAILABLE);
  }
  EXPECT_TRUE(styles.empty());
  set_skin_style_sink({});
}

TEST(SkinDataTest, CarriedSkinDataIsSheData) {
  const auto data = skin_data();
  ASSERT_GE(data.size(), static_cast<std::size_t>(SHE_HEADER_SIZE));
  EXPECT_EQ(std::string(data.begin(), data.begin() + 4), ".SHE");
}

}  // namespace
}  // namespace corvane
