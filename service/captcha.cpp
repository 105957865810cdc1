#include "service/captcha.h"

#include "http/page_fetcher.h"
#include "service/endpoints.h"

namespace corvane {

std::string captcha_image_url(const SessionState& state) {
  const std::string purpose = state.captcha_purpose();
  if (purpose == CAPTCHA_SPACE_LOGIN)
    return state.content_base_url() + "sjzx/cv_vf_img.aspx?lx=" + state.account_name() + "ly&sj=";
  if (purpose == CAPTCHA_BACKEND_LOGIN)
    return "http://" + SERVICE_MAIN_HOST() + "/ht/sjzx/cv_vf_img.aspx?lx=htdl&sj=";
  if (purpose == CAPTCHA_REGISTRATION)
    return "http://" + SERVICE_MAIN_HOST() + "/ht/sjzx/cv_vf_img.aspx?lx=zc&sj=";
  return {};
}

std::string load_captcha_image(const SessionState& state) {
  std::string url = captcha_image_url(state);
  if (url.empty()) return {};
  return fetch_page(url);
}

}  // namespace corvane
