#pragma once
// The process-wide objects of the desktop client, made once before any window: the
// session values (with the result lists of the information windows), the prompter the
// service operations ask through, and the three service clients. service_client
// carries the session; recovery_client and registration_client never log in, each runs
// one operation that needs no session fields.
#include "app/session_state.h"
#include "service/service_client.h"
#include "ui/gui_prompter.h"

namespace corvane {

struct ProcessObjects {
  SessionState state;
  GuiPrompter prompter;
  ServiceClient service_client{state, prompter};
  ServiceClient recovery_client{state, prompter};
  ServiceClient registration_client{state, prompter};
};

}  // namespace corvane
