#include "service/shortener.h"

#include "http/page_fetcher.h"
#include "service/endpoints.h"
#include "text/gbk_text.h"

namespace corvane {

std::string shortener_request_url(std::string_view address) {
  // The address is appended unencoded: the shortener reads the rest of the query as it.
  return "http://" + SHORTENER_HOST() + "/index.php?info=api&alias=&url=" + std::string(address);
}

std::string short_address_of(std::string_view answer) {
  return text_between(answer, "url\":\"", "\"");
}

std::string shorten_address(const std::string& address) {
  return short_address_of(text_of_body(fetch_page(shortener_request_url(address))));
}

}  // namespace corvane
