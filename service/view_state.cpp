#include "service/view_state.h"

#include "service/url_encode.h"
#include "text/gbk_text.h"

namespace corvane {

namespace {

constexpr const char* VIEW_STATE_MARKER = "id=\"__VIEWSTATE\" value=\"";
constexpr const char* EVENT_VALIDATION_MARKER = "id=\"__EVENTVALIDATION\" value=\"";

}  // namespace

ViewState extract_view_state(std::string_view page) {
  return {text_between(page, VIEW_STATE_MARKER, "\""),
          text_between(page, EVENT_VALIDATION_MARKER, "\"")};
}

std::string view_state_fields(const ViewState& state) {
  return "__VIEWSTATE=" + url_encode(state.view_state) +
         "&__EVENTVALIDATION=" + url_encode(state.event_validation);
}

}  // namespace corvane
