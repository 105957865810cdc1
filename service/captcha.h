#pragma once
// Captcha images. Which one is shown depends on what asks for it (the captcha purpose);
// the request shares the cookie store with the login requests, which ties the image to
// the session that will post the answer.
#include <string>

#include "app/session_state.h"

namespace corvane {

inline constexpr const char* CAPTCHA_SPACE_LOGIN = "\xB9\xDC\xC0\xED\xB5\xC7\xC2\xBC"; /* 管理登录 */
inline constexpr const char* CAPTCHA_BACKEND_LOGIN = "\xBA\xF3\xCC\xA8\xB5\xC7\xC2\xBD"; /* 后台登陆 */
inline constexpr const char* CAPTCHA_REGISTRATION = "\xD7\xA2\xB2\xE1"; /* 注册 */

// The image address for the state's captcha purpose; "" for an unknown purpose.
std::string captcha_image_url(const SessionState& state);
// The image bytes (BMP, PNG, ...), fetched without a proxy; "" when the purpose is
// unknown or the request failed.
std::string load_captcha_image(const SessionState& state);

}  // namespace corvane
