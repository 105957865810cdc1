#include "app/settings.h"

#include "platform/ini_file.h"
#include "platform/paths.h"

namespace corvane {

std::string settings_file() {
  return platform::temp_directory() + std::string(SETTINGS_FILE_NAME);
}

std::string read_setting(std::string_view key) {
  return platform::read_profile_string(settings_file(), SETTINGS_SECTION, key,
                                       SETTINGS_BUFFER_SIZE);
}

bool write_setting(std::string_view key, std::string_view value) {
  return platform::write_profile_string(settings_file(), SETTINGS_SECTION, key, value);
}

void clear_saved_login() {
  write_setting(SETTING_USER, "");
  write_setting(SETTING_PASS, "");
}

}  // namespace corvane
