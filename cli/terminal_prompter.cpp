#include "cli/terminal_prompter.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "cli/cli.h"
#include "service/captcha.h"

namespace corvane::cli {

namespace {

// A file name ending that lets an image viewer recognise the picture.
std::string image_suffix(const std::string& bytes) {
  if (bytes.rfind("\x89PNG", 0) == 0) return ".png";
  if (bytes.rfind("BM", 0) == 0) return ".bmp";
  if (bytes.rfind("GIF8", 0) == 0) return ".gif";
  if (bytes.rfind("\xFF\xD8", 0) == 0) return ".jpg";
  return ".img";
}

std::string save_image(const std::string& bytes) {
  std::string pattern =
      (std::filesystem::temp_directory_path() / ("corvane-captcha-XXXXXX" + image_suffix(bytes)))
          .string();
  int fd = mkstemps(pattern.data(), static_cast<int>(image_suffix(bytes).size()));
  if (fd < 0) return {};
  ssize_t left = static_cast<ssize_t>(bytes.size());
  const char* p = bytes.data();
  while (left > 0) {
    ssize_t n = ::write(fd, p, static_cast<size_t>(left));
    if (n <= 0) break;
    p += n;
    left -= n;
  }
  ::close(fd);
  return pattern;
}

}  // namespace

bool TerminalPrompter::read_line(std::string& line) {
  line.clear();
  if (!std::getline(std::cin, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

void TerminalPrompter::ask_captcha(SessionState& state) {
  while (true) {
    std::string image = load_captcha_image(state);
    std::string path = image.empty() ? std::string() : save_image(image);
    if (path.empty())
      warn("captcha: the image could not be loaded; press Enter alone to cancel");
    else
      warn("captcha: the image is in " + path);
    std::cerr << "captcha (4 characters, empty line cancels): " << std::flush;
    std::string answer;
    bool got = read_line(answer);
    if (!path.empty()) std::filesystem::remove(path);
    if (!got || answer.empty()) {
      state.set_captcha_answer("");
      return;
    }
    std::string gbk = from_terminal(answer);
    if (gbk.size() == 4) {
      state.set_captcha_answer(gbk);
      return;
    }
    warn("captcha: the answer must be exactly 4 characters; a new image follows");
  }
}

void TerminalPrompter::ask_access_password(SessionState& state) {
  std::cerr << "access password (empty line cancels): " << std::flush;
  std::string answer;
  if (!read_line(answer)) answer.clear();
  state.set_access_password(from_terminal(answer));
}

bool TerminalPrompter::show_message(const std::string& text, const std::string& title,
                                    MessageButtons buttons) {
  std::string caption = title.empty() ? std::string(DEFAULT_MESSAGE_TITLE) : title;
  warn(to_terminal(caption) + " " + to_terminal(text));
  if (buttons == MessageButtons::ok) return true;
  std::cerr << "[y/N] " << std::flush;
  std::string answer;
  if (!read_line(answer)) return false;
  return answer == "y" || answer == "Y" || answer == "yes";
}

}  // namespace corvane::cli
