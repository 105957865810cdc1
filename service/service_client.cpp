#include "service/service_client.h"

#include "http/page_fetcher.h"
#include "text/gbk_text.h"

namespace corvane {

std::string ServiceClient::post_form(const std::string& code, const std::string& a1,
                                     const std::string& a2, const std::string& a3,
                                     const std::string& a4, bool with_proxy) const {
  FetchOptions options;
  options.method = 1;
  options.post_text = "Yz0=" + code + "&Yz1=" + a1 + "&Yz2=" + a2 + "&Yz3=" + a3 + "&Yz4=" + a4;
  if (with_proxy) options.proxy = state_->proxy_address();
  return text_of_body(fetch_page(frame_url.get(), options));
}

}  // namespace corvane
