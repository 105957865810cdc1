#pragma once
// The hidden fields of the service's ASP.NET forms (back end and registration). A form is
// only accepted when it comes back with the view state and event validation of the page
// it was read from, percent-encoded like any other form value.
#include <string>
#include <string_view>

namespace corvane {

struct ViewState {
  std::string view_state;        // value of the hidden field __VIEWSTATE
  std::string event_validation;  // value of the hidden field __EVENTVALIDATION
};

// Reads both hidden fields from a form page; a field the page lacks comes back empty
// (the form is still posted then, with that field empty).
ViewState extract_view_state(std::string_view page);

// "__VIEWSTATE=" + encoded view state + "&__EVENTVALIDATION=" + encoded event validation.
std::string view_state_fields(const ViewState& state);

}  // namespace corvane
