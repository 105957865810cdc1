// The demo space: account "demo" with password "demo", a few directories (one of them
// protected with the access password "1234"), sub-directories and files of every kind
// the client shows with its own icon.
#include <fstream>
#include <random>

#include "localservice/captcha.h"
#include "localservice/site.h"
#include "localservice/texts.h"
#include "localservice/web.h"

namespace corvane::local {

namespace {

// Deterministic filler behind a file type's usual first bytes.
std::string filler(std::string_view magic, std::size_t size, uint64_t seed) {
  std::string out(magic);
  std::mt19937_64 rng(seed);
  while (out.size() < size) out += static_cast<char>(rng() & 0xFF);
  out.resize(std::max(size, magic.size()));
  return out;
}

std::string picture(int width, int height, int hue) {
  std::string rgb;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      rgb += static_cast<char>((x * 255 / width + hue) & 0xFF);
      rgb += static_cast<char>(y * 255 / height);
      rgb += static_cast<char>((255 - hue + x + y) & 0xFF);
    }
  return bmp_file(width, height, rgb);
}

}  // namespace

void Site::seed_demo() {
  if (store_.account("demo")) return;
  const int64_t t = now();
  Account a;
  a.name = "demo";
  a.password = "demo";
  a.email = "demo@corvane.localhost";
  a.quota_mb = FREE_QUOTA_MB;
  a.upload_label = "up1";
  a.created = t;

  std::vector<std::string> written;
  auto add_directory = [&](int64_t account_id, const std::string& name, const std::string& password) {
    Directory d;
    d.account_id = account_id;
    d.name = name;
    d.password = password;
    d.flags = "011000";
    d.upload_code = random_token(16);
    d.created = t;
    return store_.add_directory(d);
  };
  int64_t tick = 0;
  auto add_file = [&](int64_t account_id, int64_t directory, const std::string& sub,
                      const std::string& name, const std::string& content) {
    File f;
    f.account_id = account_id;
    f.directory_id = directory;
    f.subdirectory = sub;
    f.name = name;
    f.size = static_cast<int64_t>(content.size());
    f.uploaded = t - 3600 * 24 * 3 + 600 * ++tick;
    f.blob = random_token(24);
    f.access_key = random_token(12);
    std::ofstream out(blob_path(f.blob), std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) throw std::runtime_error("cannot write the demo files");
    written.push_back(f.blob);
    store_.add_file(f);
  };

  try {
    store_.transaction([&] {
      const int64_t id = store_.add_account(a);
      const int64_t documents = add_directory(id, texts::DEMO_DOCUMENTS, "");
      add_file(id, documents, "", texts::DEMO_README, texts::DEMO_README_TEXT);
      add_file(id, documents, "", texts::DEMO_CONTRACT, filler("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 24 * 1024, 1));
      add_file(id, documents, "", texts::DEMO_BUDGET, filler("PK\x03\x04", 9 * 1024, 2));
      add_file(id, documents, texts::DEMO_SUB_2023, texts::DEMO_NOTES, texts::DEMO_NOTES_TEXT);
      add_file(id, documents, texts::DEMO_SUB_2023, texts::DEMO_REPORT,
               filler("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 18 * 1024, 3));
      add_file(id, documents, "", "notes.txt", "Plain ASCII notes.\r\n");

      const int64_t pictures = add_directory(id, texts::DEMO_PICTURES, "");
      add_file(id, pictures, "", texts::DEMO_LANDSCAPE, picture(160, 100, 40));
      add_file(id, pictures, texts::DEMO_SUB_SCREENSHOTS, texts::DEMO_SCREEN, picture(120, 80, 150));
      add_file(id, pictures, texts::DEMO_SUB_SCREENSHOTS, "icon.bmp", picture(32, 32, 90));

      const int64_t media = add_directory(id, texts::DEMO_MEDIA, "");
      add_file(id, media, "", texts::DEMO_SONG, filler("ID3\x03", 300 * 1024, 4));
      add_file(id, media, "", texts::DEMO_CLIP, filler(std::string_view("\x00\x00\x00\x18" "ftypmp42", 12), 1200 * 1024, 5));
      add_file(id, media, "", "voice.wma", filler("\x30\x26\xB2\x75", 120 * 1024, 6));

      const int64_t software = add_directory(id, texts::DEMO_SOFTWARE, "");
      add_file(id, software, "", texts::DEMO_SETUP, filler("MZ\x90", 150 * 1024, 7));
      add_file(id, software, "", texts::DEMO_ARCHIVE, filler("Rar!\x1A\x07", 64 * 1024, 8));
      add_file(id, software, "", "backup.zip", filler("PK\x03\x04", 40 * 1024, 9));
      add_file(id, software, "", "README", "Files of the demo space.\n");

      const int64_t secret = add_directory(id, texts::DEMO_PRIVATE, "1234");
      add_file(id, secret, "", texts::DEMO_DIARY, texts::DEMO_DIARY_TEXT);
      return true;
    });
  } catch (...) {
    std::error_code ec;
    for (const auto& blob : written) std::filesystem::remove(blob_path(blob), ec);
    throw;
  }
}

}  // namespace corvane::local
