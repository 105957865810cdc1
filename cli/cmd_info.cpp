// status, online and downloads: what the desktop client's status bar and information
// windows show.
#include <algorithm>

#include "cli/cli.h"
#include "service/space_status.h"

namespace corvane::cli {

bool require_owner(const Context& ctx, const char* command_name, int& status) {
  if (!ctx.options.visitor) return true;
  status = fail(ctx, EXIT_REFUSED,
                std::string("corvane-cli: ") + command_name + " is for the owner (log in without --visitor)");
  return false;
}

int command_status(Context& ctx, const std::vector<std::string>& args) {
  if (!args.empty()) return usage_error("status");
  if (int s = ensure_login(ctx)) return s;
  std::string status, update;
  ctx.client->read_space_status(status, update);
  // Three failed page requests leave every value empty.
  if (status == space_status_text(SpaceStatus{}) && !service_answers(ctx))
    return fail(ctx, EXIT_NETWORK, "corvane-cli: no answer from the service");
  std::string text = to_terminal(status);
  if (!update.empty()) text += "\n" + to_terminal(update);
  emit(ctx,
       {{"ok", true}, {"result", to_terminal(status)}, {"status", to_terminal(status)},
        {"update", to_terminal(update)}},
       text);
  return EXIT_OK;
}

int command_online(Context& ctx, const std::vector<std::string>& args) {
  if (!args.empty()) return usage_error("online");
  if (int s = ensure_login(ctx)) return s;
  TextList ips, entered, online;
  const int n = ctx.client->list_online(ips, entered, online);
  if (n == 0 && !service_answers(ctx))
    return fail(ctx, EXIT_NETWORK, "corvane-cli: no answer from the service");
  Json document = Json::array();
  std::string text;
  for (std::size_t i = 0; i < ips.size() && i < entered.size() && i < online.size(); ++i) {
    document.push_back({{"ip", to_terminal(ips[i])},
                        {"entered", to_terminal(entered[i])},
                        {"online", to_terminal(online[i])}});
    text += to_terminal(ips[i]) + "\t" + to_terminal(entered[i]) + "\t" + to_terminal(online[i]) + "\n";
  }
  emit(ctx, document, text);
  return EXIT_OK;
}

int command_downloads(Context& ctx, const std::vector<std::string>& args) {
  if (!args.empty()) return usage_error("downloads");
  int status = EXIT_OK;
  if (!require_owner(ctx, "downloads", status)) return status;
  if (int s = ensure_login(ctx)) return s;
  TextList times, ips, files, amounts, speeds, taken;
  const int n = ctx.client->list_download_records(times, ips, files, amounts, speeds, taken);
  if (n == 0 && !service_answers(ctx))
    return fail(ctx, EXIT_NETWORK, "corvane-cli: no answer from the service");
  Json document = Json::array();
  std::string text;
  const std::size_t count = std::min({times.size(), ips.size(), files.size(), amounts.size(),
                                      speeds.size(), taken.size()});
  for (std::size_t i = 0; i < count; ++i) {
    document.push_back({{"time", to_terminal(times[i])},
                        {"ip", to_terminal(ips[i])},
                        {"file", to_terminal(files[i])},
                        {"amount", to_terminal(amounts[i])},
                        {"speed", to_terminal(speeds[i])},
                        {"taken", to_terminal(taken[i])}});
    text += to_terminal(times[i]) + "\t" + to_terminal(ips[i]) + "\t" + to_terminal(amounts[i]) + "\t" +
            to_terminal(speeds[i]) + "\t" + to_terminal(taken[i]) + "\t" + to_terminal(files[i]) + "\n";
  }
  emit(ctx, document, text);
  return EXIT_OK;
}

}  // namespace corvane::cli
