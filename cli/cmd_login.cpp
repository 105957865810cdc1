#include "cli/cli.h"

namespace corvane::cli {

int command_login(Context& ctx, const std::vector<std::string>& args) {
  if (!args.empty()) {
    warn("usage: corvane-cli [options] login");
    return EXIT_USAGE;
  }
  std::string result;
  int status = login_with_options(ctx, &result);
  if (status == EXIT_USAGE) return status;
  if (status == EXIT_NETWORK)
    warn("corvane-cli: no answer from the service (" + to_terminal(home_page_url(ctx)) + ")");
  const bool ok = status == EXIT_OK;
  emit(ctx,
       {{"result", to_terminal(result)},
        {"logged_in", ok},
        {"account", ctx.options.account},
        {"visitor", ctx.options.visitor}},
       to_terminal(result));
  return status;
}

}  // namespace corvane::cli
